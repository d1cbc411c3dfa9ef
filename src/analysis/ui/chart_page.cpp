#include "analysis/ui/chart_page.h"

#include "analysis/ui/chart_view.h"
#include "grid/ui/grid_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

namespace quel::analysis {

namespace {
// Pixels below which the page scrolls instead of shrinking chart and grid further.
constexpr int kMinimumChartHeight = 240;
} // namespace

ChartPage::ChartPage(int index, QWidget* parent)
    : QWidget(parent)
    , m_index(index)
{
    setObjectName(QStringLiteral("Pic1_%1").arg(index));
    // On a small screen the page scrolls rather than squeezing the chart under its legend.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("Scroll1_%1").arg(index));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    outer->addWidget(scroll);
    auto* content = new QWidget(scroll);
    scroll->setWidget(content);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(2, 2, 2, 2);

    auto* split = new QHBoxLayout;
    split->setSpacing(0);
    m_chart = new ChartView(content);
    m_chart->setObjectName(QStringLiteral("GP_%1").arg(index));
    m_gridView = new grid::GridView(content);
    m_gridView->setObjectName(QStringLiteral("MSF1_%1").arg(index));
    m_gridView->setToolTip(QStringLiteral("统计结果数据表"));
    m_chart->setGrid(m_gridView->grid());
    for (QWidget* w : { static_cast<QWidget*>(m_chart), static_cast<QWidget*>(m_gridView) }) {
        w->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        w->setMinimumHeight(kMinimumChartHeight);
    }

    // Chart three quarters, result grid one quarter of the width.
    split->addWidget(m_chart, 3);
    split->addWidget(m_gridView, 1);
    layout->addLayout(split, 1);

    auto* panel = new QWidget(content);
    panel->setObjectName(QStringLiteral("Bar1_%1").arg(index));
    m_bar = new QHBoxLayout(panel);
    m_bar->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(panel);

    m_rangeFrame = new QGroupBox(QStringLiteral("显示范围"), panel);
    auto* rangeLayout = new QHBoxLayout(m_rangeFrame);
    rangeLayout->setContentsMargins(4, 2, 4, 2);
    m_start = new QLineEdit(QStringLiteral("1"), m_rangeFrame);
    m_start->setObjectName(QStringLiteral("SRow_%1").arg(index));
    m_start->setToolTip(QStringLiteral("图表显示的起始列。"));
    m_end = new QLineEdit(QStringLiteral("40"), m_rangeFrame);
    m_end->setObjectName(QStringLiteral("ERow_%1").arg(index));
    m_end->setToolTip(QStringLiteral("图表显示的终止列。"));
    rangeLayout->addWidget(new QLabel(QStringLiteral("从"), m_rangeFrame));
    rangeLayout->addWidget(m_start);
    rangeLayout->addWidget(new QLabel(QStringLiteral("至"), m_rangeFrame));
    rangeLayout->addWidget(m_end);
    for (QLineEdit* box : { m_start, m_end }) {
        box->setFixedWidth(56);
        box->installEventFilter(this);
        connect(box, &QLineEdit::textChanged, this, &ChartPage::redraw);
    }
    m_bar->addWidget(m_rangeFrame);

    // The drawing options: one panel per series on the product and trade pages, lines or
    // bars on the pages whose axis is not always time; the trend page draws lines only.
    if (index <= 1) {
        m_panelsBox = new QCheckBox(QStringLiteral("分图显示"), panel);
        m_panelsBox->setObjectName(QStringLiteral("Panels_%1").arg(index));
        m_panelsBox->setToolTip(QStringLiteral("每个统计项目单独一图，各用自己的坐标轴。"));
        m_bar->insertWidget(m_bar->indexOf(m_rangeFrame), m_panelsBox);
        connect(m_panelsBox, &QCheckBox::clicked, this, [this](bool on) {
            m_panelsByHand = on;
            redraw();
        });
    }
    if (index <= 3) {
        m_markButton = new QPushButton(QStringLiteral("折线/柱状"), panel);
        m_markButton->setObjectName(QStringLiteral("Mark_%1").arg(index));
        m_markButton->setToolTip(QStringLiteral("在折线图和柱状图之间切换。"));
        m_bar->insertWidget(m_bar->indexOf(m_rangeFrame), m_markButton);
        connect(m_markButton, &QPushButton::clicked, this, [this] {
            m_markSwitched = !m_markSwitched;
            redraw();
        });
    }

    connect(m_chart, &ChartView::rangeKeyPressed, this, &ChartPage::applyRangeKey);
    connect(m_chart, &ChartView::rangeRequested, this, &ChartPage::setRange);
    connect(m_chart, &ChartView::exportRequested, this, &ChartPage::chartExportRequested);
    connect(m_gridView, &grid::GridView::exportRequested, this, &ChartPage::gridExportRequested);
    connect(m_gridView, &grid::GridView::gridPressed, this,
        [this](grid::GridCell, Qt::MouseButton button, Qt::KeyboardModifiers) {
            if (button == Qt::LeftButton)
                redraw();
        });
}

ChartPage::~ChartPage() = default;

grid::GridModel* ChartPage::gridModel() const
{
    return m_gridView->grid();
}

void ChartPage::addToBar(QWidget* widget, int stretch)
{
    widget->setParent(m_bar->parentWidget());
    m_bar->insertWidget(m_bar->indexOf(m_rangeFrame), widget, stretch);
}

void ChartPage::addStretchToBar(int stretch)
{
    m_bar->insertStretch(m_bar->indexOf(m_rangeFrame), stretch);
}

ChartRange ChartPage::range() const
{
    return { m_start->text().trimmed().toInt(), m_end->text().trimmed().toInt() };
}

void ChartPage::setRange(ChartRange range)
{
    {
        const QSignalBlocker blockStart(m_start);
        const QSignalBlocker blockEnd(m_end);
        m_start->setText(QString::number(range.start));
        m_end->setText(QString::number(range.end));
    }
    redraw();
}

ChartOptions ChartPage::chartOptions() const
{
    ChartOptions o;
    o.mark = m_defaultMark;
    if (m_markSwitched)
        o.mark = o.mark == ChartMark::Line ? ChartMark::Bar : ChartMark::Line;
    if (!m_panelsBox)
        o.panels = ChartPanels::One;
    else if (m_panelsByHand)
        o.panels = *m_panelsByHand ? ChartPanels::Each : ChartPanels::One;
    else
        o.panels = ChartPanels::Auto;
    return o;
}

void ChartPage::draw(const QString& title)
{
    const ChartRange r = range();
    m_chart->setOptions(chartOptions());
    const ChartDrawing d = m_chart->drawChart(title, r.start, r.end);
    // Until clicked, the box shows what the data chose.
    if (m_panelsBox && !m_panelsByHand && d.drawn) {
        const QSignalBlocker block(m_panelsBox);
        m_panelsBox->setChecked(d.panels > 1);
    }
}

void ChartPage::redraw()
{
    draw(QString());
}

void ChartPage::showResult(const QString& title, bool withHint, ChartMark mark)
{
    // A switch by hand holds while the analyses keep their kind of chart.
    if (mark != m_defaultMark) {
        m_defaultMark = mark;
        m_markSwitched = false;
    }
    draw(title);
    if (withHint)
        emit hintChanged(chartHint());
    m_chart->setFocus(Qt::OtherFocusReason);
}

void ChartPage::applyRangeKey(ChartKey key, bool ctrl)
{
    const grid::GridModel* g = gridModel();
    if (!g->hasDataRows())
        return;
    setRange(ChartRangeAfterKey(key, ctrl, range(), g->dataRowCount()));
}

QString ChartPage::chartHint()
{
    return QStringLiteral("操作提示：数据量太多，看不清时，按左/右箭头键可左右移动图形，"
                          "按“Ctrl”+左/右箭头键可缩放图形！");
}

bool ChartPage::eventFilter(QObject* watched, QEvent* event)
{
    // A range box that loses the focus hands it to the chart, so the arrow keys scroll it
    // at once; moving between the two boxes or leaving the window is left alone.
    if ((watched == m_start || watched == m_end) && event->type() == QEvent::FocusOut) {
        const auto* focus = static_cast<QFocusEvent*>(event);
        const Qt::FocusReason reason = focus->reason();
        const bool leavingWindow = reason == Qt::ActiveWindowFocusReason
            || reason == Qt::PopupFocusReason || reason == Qt::MenuBarFocusReason;
        QTimer::singleShot(0, this, [this, leavingWindow] {
            QWidget* now = QApplication::focusWidget();
            if (!leavingWindow && now != m_start && now != m_end && isVisible())
                m_chart->setFocus(Qt::OtherFocusReason);
        });
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quel::analysis

#include "shell/analysis_page.h"

#include "shell/command_table.h"
#include "shell/list_pages.h"

#include <QAbstractButton>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quel::shell {

namespace {

QWidget* makeChartPlaceholder(int index, QWidget* parent)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(QStringLiteral("GP_%1").arg(index));
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setAutoFillBackground(true);
    QPalette p = frame->palette();
    p.setColor(QPalette::Window, Qt::white);
    frame->setPalette(p);
    return frame;
}

} // namespace

AnalysisSubPage::AnalysisSubPage(int index, QWidget* parent)
    : QWidget(parent)
    , m_index(index)
{
    setObjectName(QStringLiteral("Pic1_%1").arg(index));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    m_split = new QHBoxLayout;
    m_split->setSpacing(0);
    m_chart = makeChartPlaceholder(index, this);
    m_grid = makeGridPlaceholder(QStringLiteral("MSF1_%1").arg(index), this);
    m_chart->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    // Chart three quarters, result grid one quarter of the width.
    m_split->addWidget(m_chart, 3);
    m_split->addWidget(m_grid, 1);
    layout->addLayout(m_split, 1);
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("Bar1_%1").arg(index));
    m_bar = new QHBoxLayout(panel);
    m_bar->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(panel);
}

void AnalysisSubPage::replace(QWidget*& slot, QWidget* widget, int stretch)
{
    if (!widget || widget == slot)
        return;
    widget->setObjectName(slot->objectName());
    widget->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_split->replaceWidget(slot, widget);
    delete slot;
    slot = widget;
    m_split->setStretchFactor(widget, stretch);
}

void AnalysisSubPage::setChart(QWidget* chart)
{
    replace(m_chart, chart, 3);
}

void AnalysisSubPage::setGrid(QWidget* grid)
{
    replace(m_grid, grid, 1);
}

QAbstractButton* AnalysisSubPage::addCommand(int index)
{
    QAbstractButton* button = makeCommandButton(index, m_bar->parentWidget());
    m_bar->addWidget(button);
    connect(button, &QAbstractButton::clicked, this, [this, index] { emit command(index); });
    return button;
}

QLineEdit* AnalysisSubPage::addProductBox(const QString& objectName)
{
    auto* box = new QLineEdit(m_bar->parentWidget());
    box->setObjectName(objectName);
    box->setReadOnly(true);
    box->setMinimumWidth(80);
    m_bar->addWidget(new QLabel(QStringLiteral("产品："), m_bar->parentWidget()));
    m_bar->addWidget(box, 1);
    return box;
}

void AnalysisSubPage::addRangeBoxes()
{
    QWidget* owner = m_bar->parentWidget();
    auto* start = new QLineEdit(QStringLiteral("1"), owner);
    start->setObjectName(QStringLiteral("SRow_%1").arg(m_index));
    auto* end = new QLineEdit(QStringLiteral("40"), owner);
    end->setObjectName(QStringLiteral("ERow_%1").arg(m_index));
    for (QLineEdit* box : { start, end })
        box->setFixedWidth(48);
    m_bar->addWidget(new QLabel(QStringLiteral("显示第"), owner));
    m_bar->addWidget(start);
    m_bar->addWidget(new QLabel(QStringLiteral("至"), owner));
    m_bar->addWidget(end);
    m_bar->addWidget(new QLabel(QStringLiteral("项"), owner));
}

AnalysisPage::AnalysisPage(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Pic_4"));
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("SST1"));
    const QString captions[4] = { QStringLiteral("产品统计"), QStringLiteral("交易对比"),
        QStringLiteral("买家统计"), QStringLiteral("销售周期") };
    for (int i = 0; i < 4; ++i) {
        m_pages[i] = new AnalysisSubPage(i, m_tabs);
        m_tabs->addTab(m_pages[i], captions[i]);
        connect(m_pages[i], &AnalysisSubPage::command, this, &AnalysisPage::command);
    }

    m_pages[0]->addCommand(40);
    m_pages[0]->addRangeBoxes();
    m_pages[0]->bar()->addStretch(1);

    m_pages[1]->addProductBox(QStringLiteral("tPName2"));
    for (int index : { 43, 41, 42 })
        m_pages[1]->addCommand(index);
    m_pages[1]->addRangeBoxes();

    m_pages[2]->addProductBox(QStringLiteral("tPName3"));
    m_pages[2]->addCommand(51);

    m_pages[3]->addProductBox(QStringLiteral("tPName4"));
    for (int index : { 52, 44 })
        m_pages[3]->addCommand(index);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabs);
}

AnalysisSubPage* AnalysisPage::subPage(int i) const
{
    return (i >= 0 && i < 4) ? m_pages[i] : nullptr;
}

} // namespace quel::shell

#include "download/ui/download_window.h"

#include "core/feedback.h"
#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "grid/ui/grid_view.h"
#include "web/market.h"
#include "widgets/desktop_open.h"
#include "widgets/window_placement.h"

#include <QCloseEvent>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace quel::download {

namespace {

QPointer<DownloadWindow> g_openWindow;

constexpr int kStateColumn = 4;
constexpr int kTitleColumn = 3;
constexpr int kSerialColumn = 2;
constexpr int kCodeColumn = 1;

const QColor kHarvestedColour = grid::colourFromBgr(0xBBBBBB);
const QColor kFailedColour = grid::colourFromBgr(255);

} // namespace

DownloadWindow* DownloadWindow::current()
{
    return g_openWindow.data();
}

DownloadWindow* DownloadWindow::open(DownloadKind kind, db::Connection conn,
    const QString& condition, core::Feedback& feedback, QWidget* parent, const StartCheck& check)
{
    if (DownloadWindow* existing = current()) {
        // Both windows use the same worker file names: one at a time.
        feedback.message(QStringLiteral("已有下载窗口正在运行，请等它完成或关闭后再试。"));
        existing->raise();
        existing->activateWindow();
        return existing;
    }
    auto* window = new DownloadWindow(kind, std::move(conn), parent);
    // Nothing is started, and no job marked failed, when the run cannot go ahead.
    if (!window->prepare(condition, feedback)
        || (check && window->session().listedJobs() > 0 && !check(feedback))) {
        delete window;
        return nullptr;
    }
    g_openWindow = window;
    window->show();
    window->startDownload();
    return window;
}

DownloadWindow::DownloadWindow(DownloadKind kind, db::Connection conn, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_session(kind, std::move(conn))
{
    setAttribute(Qt::WA_DeleteOnClose);
    const bool details = kind == DownloadKind::Details;
    setObjectName(details ? QStringLiteral("ProductDown") : QStringLiteral("BuyerDown"));
    setWindowTitle(details ? QStringLiteral("产品资讯详情下载") : QStringLiteral("买家资讯下载"));
    buildUi();
}

DownloadWindow::~DownloadWindow()
{
    m_session.stop();
}

void DownloadWindow::buildUi()
{
    const int workers = DownloadSession::initialWorkers(m_session.kind());

    m_view = new grid::GridView(this);
    m_view->setObjectName(QStringLiteral("MSF"));
    // Rows stay in job order: the pool finds each job's row by its position.
    m_view->setSortOnHeaderPress(false);
    m_grid = m_view->grid();
    connect(m_view, &grid::GridView::gridDoubleClicked, this,
        [this](grid::GridCell cell) { openRowPage(cell.row); });
    // A user who looks at a row of their own choice is not pulled away from it.
    connect(m_view, &grid::GridView::gridPressed, this, [this] { m_followRun = false; });

    auto* state = new QGroupBox(QStringLiteral("状态"), this);
    state->setObjectName(QStringLiteral("Frm"));
    auto* threadsLabel = new QLabel(QStringLiteral("线程数："), state);
    threadsLabel->setObjectName(QStringLiteral("Label2"));
    m_maxWorkers = new QScrollBar(Qt::Horizontal, state);
    m_maxWorkers->setObjectName(QStringLiteral("HMax"));
    m_maxWorkers->setRange(1, DownloadPool::kWorkerLimit);
    m_maxWorkers->setValue(workers);
    m_maxWorkers->setMinimumWidth(160);
    m_maxLabel = new QLabel(QString::number(workers), state);
    m_maxLabel->setObjectName(QStringLiteral("LMax"));
    auto* rateLabel = new QLabel(QStringLiteral("每秒请求上限："), state);
    rateLabel->setObjectName(QStringLiteral("LRate"));
    m_rate = new QDoubleSpinBox(state);
    m_rate->setObjectName(QStringLiteral("RateLimit"));
    m_rate->setRange(0, 1000);
    m_rate->setDecimals(1);
    m_rate->setSingleStep(1);
    m_rate->setValue(0);
    m_rate->setSpecialValueText(QStringLiteral("不限"));
    m_rate->setToolTip(QStringLiteral("所有线程合计每秒最多向市场发出的请求数；0 为不限。"));
    rateLabel->setBuddy(m_rate);
    auto* percentLabel = new QLabel(QStringLiteral("完成比例："), state);
    m_percent = new QLabel(QStringLiteral("0%"), state);
    m_percent->setObjectName(QStringLiteral("LPercent"));
    auto* stateRow = new QHBoxLayout(state);
    stateRow->addWidget(threadsLabel);
    stateRow->addWidget(m_maxWorkers);
    stateRow->addWidget(m_maxLabel);
    stateRow->addSpacing(20);
    stateRow->addWidget(rateLabel);
    stateRow->addWidget(m_rate);
    stateRow->addSpacing(20);
    stateRow->addWidget(percentLabel);
    stateRow->addWidget(m_percent);
    stateRow->addStretch();

    auto* note = new QGroupBox(QStringLiteral("注释"), this);
    auto* legend = new QLabel(
        QStringLiteral("下载状态：0-等待下载；1-开始下载；2-下载完成(红底表示下载失败)。"), note);
    legend->setObjectName(QStringLiteral("Label1"));
    legend->setWordWrap(true);
    auto* noteRow = new QHBoxLayout(note);
    noteRow->addWidget(legend);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(state, 1);
    bottom->addWidget(note, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addLayout(bottom);

    connect(m_maxWorkers, &QScrollBar::valueChanged, this, [this](int value) {
        m_maxLabel->setText(QString::number(value));
        if (m_session.isPrepared())
            m_session.pool().setMaxWorkers(value);
    });
    // Workers started from now on keep the new rate; running ones finish at theirs.
    connect(m_rate, &QDoubleSpinBox::valueChanged, this, [this](double value) {
        if (m_session.isPrepared())
            m_session.pool().setRateLimit(value);
    });
    // Centred at first, then where the user left it, always inside the work area.
    widgets::KeepWindowPlacement(this, objectName(), QSize(760, 520));
}

bool DownloadWindow::prepare(const QString& condition, core::Feedback& feedback)
{
    if (!m_session.prepare(condition, feedback))
        return false;
    DownloadPool& pool = m_session.pool();
    // A result file that is there but cannot be read is shown, as the program always did.
    pool.setFeedback(&feedback);
    connect(&pool, &DownloadPool::rowChanged, this, &DownloadWindow::showRow);
    connect(&pool, &DownloadPool::progressChanged, m_percent, &QLabel::setText);
    // The run has harvested every row: the window goes away by itself. A run that had to
    // stop says why first.
    connect(&m_session, &DownloadSession::finished, this, [this, &feedback, &pool] {
        if (!pool.fatalError().isEmpty())
            feedback.message(pool.fatalError());
        close();
    });
    fillGrid();
    return true;
}

void DownloadWindow::startDownload()
{
    m_session.pool().setMaxWorkers(m_maxWorkers->value());
    m_session.pool().setRateLimit(m_rate->value());
    m_session.start();
    if (!m_session.pool().fatalError().isEmpty())
        emit m_session.finished(); // nothing started: the window reports and goes
}

void DownloadWindow::fillGrid()
{
    const bool details = m_session.kind() == DownloadKind::Details;
    grid::GridModel::BulkUpdate bulk(*m_grid);
    grid::setGridColumns(*m_grid,
        { QStringLiteral("ID"), details ? QStringLiteral("PCode") : QStringLiteral("BCode"),
            QString(), details ? QStringLiteral("PName") : QStringLiteral("Buyer"), QString() },
        { QStringLiteral("ID"), details ? QStringLiteral("产品编号") : QStringLiteral("买家编号"),
            grid::kSerialTitle, details ? QStringLiteral("产品") : QStringLiteral("买家"),
            QStringLiteral("下载状态") });
    m_grid->setFixedCols(3);
    m_grid->setColumnCode(kStateColumn, 3); // centred
    const auto& jobs = m_session.pool().jobs();
    int serial = 0;
    for (const DownloadJob& job : jobs) {
        m_grid->appendRow({ QString::number(job.id), job.code, QString::number(++serial), job.title,
            QStringLiteral("0") });
    }
    m_grid->setColumnWidth(0, 0);
    m_grid->setColumnWidth(kCodeColumn, 1500);
    m_grid->setColumnWidth(kSerialColumn, 700);
    m_grid->setColumnWidth(kStateColumn, 1100);
    fitTitleColumn();
}

void DownloadWindow::fitTitleColumn()
{
    if (!m_grid || m_grid->cols() <= kStateColumn)
        return;
    const int gridTwips = m_view->viewport()->width() * grid::kTwipsPerPixel;
    const int width = gridTwips - m_grid->columnWidth(kSerialColumn)
        - m_grid->columnWidth(kStateColumn) - m_grid->columnWidth(kCodeColumn) - 280;
    m_grid->setColumnWidth(kTitleColumn, qMax(1500, width));
}

void DownloadWindow::showRow(int index)
{
    const DownloadJob& job = m_session.pool().jobs()[std::size_t(index)];
    const int row = m_grid->fixedRows() + index;
    m_grid->setText(row, kStateColumn, QString::number(int(job.state)));
    if (job.state == DownloadJob::Harvested)
        grid::setCellColor(
            *m_grid, row, kStateColumn, job.failed ? kFailedColour : kHarvestedColour, false);
    // The grid follows the run: the row a worker has just started for stays in sight.
    if (job.state == DownloadJob::Started && m_followRun)
        static_cast<QAbstractItemView*>(m_view)->scrollTo(
            m_grid->index(row - m_grid->fixedRows(), kTitleColumn));
}

void DownloadWindow::openRowPage(int gridRow)
{
    if (gridRow < m_grid->fixedRows())
        return;
    const QString code = m_grid->text(gridRow, kCodeColumn);
    if (code.isEmpty())
        return;
    widgets::OpenInDefaultBrowser(m_session.kind() == DownloadKind::Details
            ? web::ItemPageUrl(code)
            : web::BuyerPageUrl(code));
}

void DownloadWindow::closeEvent(QCloseEvent* event)
{
    m_session.stop();
    QWidget::closeEvent(event);
    if (!m_ended && m_session.isPrepared()) {
        m_ended = true;
        emit ended(m_session.totals());
    }
}

void DownloadWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fitTitleColumn();
}

} // namespace quel::download

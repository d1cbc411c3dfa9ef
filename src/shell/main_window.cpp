#include "shell/main_window.h"

#include "analysis/ui/chart_view.h"
#include "analysis/ui/overview_page.h"
#include "exports/ui/pop_menu.h"
#include "grid/ui/grid_view.h"
#include "shell/analysis_page.h"
#include "shell/changes_page.h"
#include "shell/list_pages.h"
#include "shell/maintenance.h"
#include "views/ui/list_views.h"
#include "widgets/window_placement.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quel::shell {

namespace {
const QSize kMinimumSize(600, 420);
}

QString MainWindow::caption()
{
    return QStringLiteral("quelmar软件1.21");
}

MainWindow::MainWindow(const QString& dataFolder, QWidget* parent)
    : QMainWindow(parent)
    , m_catalogue(dataFolder)
    , m_feedback(this)
    , m_db(m_catalogue, m_feedback)
{
    setObjectName(QStringLiteral("MF"));
    setWindowTitle(caption());
    buildMenus();
    buildPages();
    installCommands(*this, m_commands);
    installListViews();
    installExportMenus();
    installWatchPage();
    // 1280x800 at first, always inside the screen's work area with its frame, and where the
    // user left it the time before.
    widgets::KeepWindowPlacement(this, QStringLiteral("MF"), QSize(1280, 800));
}

MainWindow::~MainWindow() = default;

void MainWindow::buildPages()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(2);

    // The database name stays right-aligned whatever its length.
    auto* top = new QHBoxLayout;
    auto* title = new QLabel(caption(), central);
    title->setObjectName(QStringLiteral("iTit"));
    title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    top->addWidget(title, 1);
    auto* caption = new QLabel(QStringLiteral("当前数据库："), central);
    caption->setObjectName(QStringLiteral("lDBName"));
    m_dbName = new QLabel(QStringLiteral("默认"), central);
    m_dbName->setObjectName(QStringLiteral("DBName"));
    m_dbName->setToolTip(QStringLiteral("当前使用的数据库名称。"));
    top->addWidget(caption);
    top->addWidget(m_dbName);
    layout->addLayout(top);

    m_tabs = new QTabWidget(central);
    m_tabs->setObjectName(QStringLiteral("SST"));
    m_lists[0] = new ProductsPage(m_tabs);
    m_lists[1] = new DetailsPage(m_tabs);
    m_lists[2] = new TradesPage(m_tabs);
    m_lists[3] = new BuyersPage(m_tabs);
    m_analysis = new AnalysisPage(m_tabs);
    const QString captions[4] = { QStringLiteral("产品列表"), QStringLiteral("产品详情"),
        QStringLiteral("交易记录"), QStringLiteral("买家资讯") };
    for (int i = 0; i < 4; ++i) {
        m_tabs->addTab(m_lists[i], captions[i]);
        connect(m_lists[i], &ListPage::command, this, &MainWindow::runCommand);
    }
    m_tabs->addTab(m_analysis, QStringLiteral("统计分析"));
    connect(m_analysis, &AnalysisPage::command, this, &MainWindow::runCommand);
    m_tabs->addTab(new HelpPage(m_tabs), QStringLiteral("使用帮助"));
    layout->addWidget(m_tabs, 1);

    m_hint = new QLabel(QStringLiteral("Dovrel提示："), central);
    m_hint->setObjectName(QStringLiteral("LBL"));
    m_hint->setMinimumWidth(0);
    m_hint->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(m_hint);

    // The page loader's browsers are not visible controls; these keep their places.
    for (const char* name : { "WB", "EWB" }) {
        auto* browser = new QWidget(central);
        browser->setObjectName(QString::fromLatin1(name));
        browser->hide();
    }

    setCentralWidget(central);
    // Small enough for any laptop screen; the pages scroll where they need more room, the
    // hint label below them always shows.
    setMinimumSize(kMinimumSize);
    connect(m_tabs, &QTabWidget::currentChanged, this, &MainWindow::onPageChanged);
}

// The list grids go into their pages; the lists fill themselves through the hooks and
// answer the list buttons.
void MainWindow::installListViews()
{
    m_listViews = new views::ListViews(m_db, this);
    for (int list = 0; list < 4; ++list)
        m_lists[list]->setGrid(m_listViews->grid(list));
    for (int list = 0; list < 2; ++list) {
        const auto combo = [this](int index) {
            return findChild<QComboBox*>(QStringLiteral("Cmb_%1").arg(index));
        };
        m_listViews->attachFilter(list, combo(list * 3), combo(list * 3 + 1), combo(list * 3 + 2));
    }
    m_listViews->attachProductBox(2, textBox(QStringLiteral("tPName")));
    m_listViews->attachProductBox(3, textBox(QStringLiteral("tPName1")));
    connect(m_listViews, &views::ListViews::hintChanged, m_hint, &QLabel::setText);

    m_listHooks.fill = [this](int list) { m_listViews->fill(list); };
    m_listHooks.fillColumnCombo = [this](int list) { m_listViews->fillColumnCombo(list, false); };
    m_listHooks.clearGrids = [this] { m_listViews->clearGrids(); };
    m_commands.set(3, [this] { m_listViews->deleteSelected(0); });
    m_commands.set(12, [this] { m_listViews->deleteSelected(1); });
    m_commands.set(21, [this] { m_listViews->pickAndShow(2); });
    m_commands.set(30, [this] { m_listViews->pickAndShow(3); });

    // The analyses' result grids report through the same feedback as the lists.
    for (int i = 0; i < 4; ++i)
        m_analysis->subPage(i)->gridView()->setFeedback(&m_feedback);
    m_analysis->overviewPage()->gridView()->setFeedback(&m_feedback);
    connect(m_analysis, &AnalysisPage::hintChanged, m_hint, &QLabel::setText);
}

// A right press on any list or result grid offers the table export, on any chart the
// picture export.
void MainWindow::installExportMenus()
{
    m_popMenu = new exports::PopMenu(m_feedback, this);
    const auto popupGrid = [this](grid::GridView* grid, const QPoint& globalPos) {
        prepareWatchMenu(grid);
        m_popMenu->popupGridMenu(grid->grid(), globalPos);
    };
    connect(m_listViews, &views::ListViews::exportRequested, this, popupGrid);
    connect(m_analysis, &AnalysisPage::gridExportRequested, this, popupGrid);
    // The chart areas also draw themselves again for the PNG and SVG files.
    connect(m_analysis, &AnalysisPage::chartExportRequested, this,
        [this](QWidget* chart, const QPoint& globalPos) {
            exports::PopMenu::ChartRenderer render;
            if (auto* view = qobject_cast<analysis::ChartView*>(chart)) {
                render = [view](QPainter& painter, const QSize& size) {
                    const QRect inside = view->contentsRect();
                    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
                    painter.translate(inside.topLeft());
                    view->render(painter, inside.size());
                };
            }
            m_popMenu->popupPictureMenu(chart, globalPos, render);
        });
    // Where the file went, in full, where every summary is written.
    connect(m_popMenu, &exports::PopMenu::exported, this, [this](const QString& path) {
        const QString text = QStringLiteral("已导出到 ") + QDir::toNativeSeparators(path);
        m_hint->setText(text);
        m_hint->setToolTip(text);
    });
}

ListPage* MainWindow::listPage(int list) const
{
    return (list >= 0 && list < 4) ? m_lists[list] : nullptr;
}

QAbstractButton* MainWindow::com(int index) const
{
    return findChild<QAbstractButton*>(QStringLiteral("Com_%1").arg(index));
}

QLineEdit* MainWindow::textBox(const QString& objectName) const
{
    return findChild<QLineEdit*>(objectName);
}

void MainWindow::startUp()
{
    m_catalogue.LoadCurrentDatabase();
    const QString name = m_catalogue.currentDatabaseName();
    showDatabaseName(name.isEmpty() ? QStringLiteral("默认") : name);
    if (m_tabs->currentIndex() != 0)
        m_tabs->setCurrentIndex(0);
    m_hint->clear();
    refreshLists();
}

void MainWindow::refreshLists()
{
    // A database that cannot be opened is named once; the lists then stay empty instead of
    // each asking it again.
    db::Connection probe;
    if (!m_db.OpenConnection(probe)) {
        if (m_listHooks.clearGrids)
            m_listHooks.clearGrids();
        m_hint->clear();
        return;
    }
    probe.close();
    // Each list reports its record count in the hint label; the one of the page in view
    // stays there, not merely the last list filled.
    QString hints[4];
    for (int list = 0; list < 4; ++list) {
        m_hint->clear();
        fillList(list);
        if (list < 2 && m_listHooks.fillColumnCombo)
            m_listHooks.fillColumnCombo(list);
        hints[list] = m_hint->text();
    }
    const int page = m_tabs->currentIndex();
    m_hint->setText(page >= 0 && page < 4 ? hints[page] : QString());
    if (m_changes)
        m_changes->refresh();
}

void MainWindow::fillList(int list)
{
    if (m_listHooks.fill)
        m_listHooks.fill(list);
}

void MainWindow::showDatabaseName(const QString& name)
{
    m_dbName->setText(name);
}

void MainWindow::reportJobEnded(const QString& summary)
{
    // Windows closed by the shutdown report nothing to a window that is going.
    if (m_shutDown)
        return;
    const int page = m_tabs->currentIndex();
    QString count;
    if (page >= 0 && page < 4) {
        m_hint->clear();
        fillList(page);
        count = m_hint->text();
    }
    m_hint->setText(count.isEmpty() ? summary : summary + QStringLiteral("  ") + count);
    // The label may be narrower than the line; the whole of it stays readable here.
    m_hint->setToolTip(summary);
}

void MainWindow::runCommand(int index)
{
    m_commands.run(index);
}

void MainWindow::onPageChanged(int page)
{
    // The previous page's hint goes; a refreshed list then shows its own record count.
    m_hint->clear();
    m_hint->setToolTip(QString());
    // Only the product and detail lists are refreshed; the others show what they showed.
    if (page == 0 || page == 1)
        fillList(page);
}

void MainWindow::ClearDB()
{
    ClearDatabaseTables(m_db, m_feedback, m_listHooks.clearGrids);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!m_shutDown) {
        m_shutDown = true;
        // The program ends with its main window. Other windows close first, so that a
        // download window ends its workers before their files are removed below.
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget* window : windows) {
            if (window != this && window->isVisible())
                window->close();
        }
        RunShutdown(m_db, dataFolder());
        QCoreApplication::quit();
    }
    event->accept();
}

} // namespace quel::shell

#pragma once

#include "shell/command_table.h"
#include "shell/shell_feedback.h"
#include "store/catalogue.h"
#include "store/db_operate.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QAbstractButton;
class QAction;
class QMenu;
class QLabel;
class QLineEdit;
class QSystemTrayIcon;
class QTabWidget;
class QTimer;

namespace quel::exports {
class PopMenu;
}
namespace quel::grid {
class GridView;
} // namespace quel::grid

namespace quel::views {
class ListViews;
} // namespace quel::views

namespace quel::shell {

class AnalysisPage;
class ChangesPage;
class ListPage;

// How the main window fills and empties its four lists (0 products, 1 product details,
// 2 trades, 3 buyers). Set by the list views; unset hooks do nothing.
struct ListHooks
{
    std::function<void(int list)> fill;
    // Puts the grid's columns into the filter column combo (list 0 -> Cmb 0, list 1 -> Cmb 3).
    std::function<void(int list)> fillColumnCombo;
    // Every list grid back to its header rows.
    std::function<void()> clearGrids;
};

// The main window "MF": menus, the tab strip SST with its six pages, the Com buttons and
// their dispatch, the current database's name, start-up and shutdown.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    static QString caption(); // "quelmar软件1.21"

    // dataFolder is the program's folder (catalogue, databases, worker files).
    explicit MainWindow(const QString& dataFolder, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Program-wide state.
    QString dataFolder() const { return m_catalogue.folder(); }
    store::Catalogue& catalogue() { return m_catalogue; }
    store::DB_Operate& db() { return m_db; }
    core::Feedback& feedback() { return m_feedback; }
    QString& formParameter() { return m_formParameter; }
    QString& selectedDatabaseName() { return m_selectedDatabaseName; }

    CommandTable& commands() { return m_commands; }
    ListHooks& listHooks() { return m_listHooks; }
    // The four list grids with their filters, deletion and product pickers.
    views::ListViews* listViews() const { return m_listViews; }
    // The export menu window of every grid and chart.
    exports::PopMenu* popMenu() const { return m_popMenu; }

    // Named controls.
    QTabWidget* tabs() const { return m_tabs; }
    AnalysisPage* analysisPage() const { return m_analysis; }
    ChangesPage* changesPage() const { return m_changes; }
    ListPage* listPage(int list) const;
    QAbstractButton* com(int index) const;
    QLabel* databaseLabel() const { return m_dbName; }
    QLabel* hintLabel() const { return m_hint; }
    QLineEdit* textBox(const QString& objectName) const;

    // Start-up: the current database from the catalogue, page 0, the lists filled.
    void startUp();
    // Refills the four lists from the current database (start-up steps 4-6).
    void refreshLists();
    void fillList(int list);
    // Shows the current database's name beside "当前数据库：".
    void showDatabaseName(const QString& name);

    // A long job (a search, a download window) has ended: the list in view is refilled so it
    // shows what the job brought, and the hint label says what the job did.
    void reportJobEnded(const QString& summary);

    // Runs Com button index (as a click on it would).
    void runCommand(int index);

    // Looks for a watch run that ended since the 变化 page was filled (the timer does it
    // every half minute): the page is refreshed and a desktop notice names the count of
    // changes. True when there was one.
    bool checkWatchRuns();
    // The last notice of a watch run ("关注运行完成：3 项变化"), also when no tray shows it.
    QString lastWatchNotice() const { return m_watchNotice; }
    // The trend page with the price history of one product.
    void openTrend(qint64 productId, const QString& name);

    // Empties the database but for the replacement rules (no question asked).
    void ClearDB();
    // The menu items of the file menu.
    void clearDatabaseAsked();
    void compactDatabase();
    void newDatabase();
    void selectDatabase();
    void deleteDatabase();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    QAction* addMenuItem(QMenu* menu, const char* name, const QString& text);
    void buildPages();
    void installListViews();
    void installExportMenus();
    void installWatchPage();
    // Shows the follow items of the grid menu for the product lists only.
    void prepareWatchMenu(grid::GridView* grid);
    void onPageChanged(int page);
    // Shows SelectDB with the catalogue's names and waits until it is closed.
    QString chooseDatabaseName();

    store::Catalogue m_catalogue;
    ShellFeedback m_feedback;
    store::DB_Operate m_db;
    QString m_formParameter;
    QString m_selectedDatabaseName;
    CommandTable m_commands;
    ListHooks m_listHooks;
    views::ListViews* m_listViews = nullptr;
    exports::PopMenu* m_popMenu = nullptr;

    QTabWidget* m_tabs = nullptr;
    ListPage* m_lists[4] = {};
    AnalysisPage* m_analysis = nullptr;
    ChangesPage* m_changes = nullptr;
    QList<QAction*> m_watchActions;
    grid::GridView* m_menuGrid = nullptr;
    QTimer* m_watchPoll = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QString m_watchNotice;
    QLabel* m_dbName = nullptr;
    QLabel* m_hint = nullptr;
    bool m_shutDown = false;
};

// The first question of "新建数据库": 是 for a database on a server, 否 for a file.
QString newDatabaseKindQuestion();

} // namespace quel::shell

#include "search/ui/search_commands.h"

#include "core/feedback.h"
#include "grid/grid_model.h"
#include "search/category.h"
#include "search/product_search.h"
#include "search/search_condition.h"
#include "search/ui/get_key_word.h"
#include "search/ui/pclass_sel.h"
#include "search/ui/search_panel.h"
#include "search/web_search_browser.h"
#include "simplify/name_rules.h"
#include "simplify/ui/name_simp.h"
#include "store/db_operate.h"
#include "web/browser.h"
#include "web/market.h"

#include <QAbstractItemView>
#include <QMainWindow>

namespace quel::search {

namespace {

// The engine browser with the panel shown over the main window while it loads.
class PanelSearchBrowser : public WebSearchBrowser
{
public:
    PanelSearchBrowser(
        web::Browser& browser, const core::Feedback& feedback, SearchPanel& panel, QWidget* area)
        : WebSearchBrowser(browser, feedback)
        , m_panel(panel)
        , m_area(area)
    { }
    void place() override { m_panel.placeOver(m_area); }
    void hide() override { m_panel.hidePanel(); }

private:
    SearchPanel& m_panel;
    QWidget* m_area;
};

} // namespace

SearchCommands::SearchCommands(QWidget* mainWindow, store::DB_Operate& db, QString* formParameter)
    : QObject(mainWindow)
    , m_window(mainWindow)
    , m_db(db)
    , m_formParameter(formParameter)
    , m_browser(new web::Browser(this))
    , m_panel(new SearchPanel(*m_browser, mainWindow))
{
    m_browser->setObjectName(QStringLiteral("WB"));
    m_browser->setSilent(true);
}

SearchCommands::~SearchCommands() = default;

void SearchCommands::searchProducts()
{
    // Pressed again while asking or searching: one condition window and one search at a time.
    if (m_searching)
        return;
    m_searching = true;
    const QString result = AskSearchCondition(m_db, m_window);
    if (m_formParameter)
        *m_formParameter = result;
    QString keyword;
    QString nick;
    const bool confirmed = SplitConditionResult(result, &keyword, &nick);
    m_searching = false;
    if (confirmed)
        searchFor(keyword, nick);
}

void SearchCommands::searchFor(const QString& keyword, const QString& nick)
{
    if (m_searching)
        return;
    m_searching = true;
    QWidget* area = m_area;
    if (!area) {
        auto* main = qobject_cast<QMainWindow*>(m_window);
        area = main && main->centralWidget() ? main->centralWidget() : m_window;
    }
    PanelSearchBrowser browser(*m_browser, m_db.feedback(), *m_panel, area);
    SearchOptions options;
    options.searchPageUrl = web::Market().searchPage();
    options.mallPrefix = web::Market().mallPrefix;
    options.errorFile = m_db.dataFolder() + QStringLiteral("/Error.ASP");
    ProductSearch search(m_db, browser, options);
    const SearchReport report = search.run(keyword, nick);
    m_searching = false;
    emit searchFinished(report);
}

void SearchCommands::replaceCategory(grid::GridModel& grid)
{
    const auto range
        = CategoryRowRange(grid.currentRow(), grid.selectionRow(), grid.rows(), grid.fixedRows());
    // The product is named by the column whose field is ID, wherever the list puts it; the
    // item code beside it is the marketplace's and may look like another product's ID.
    const int idColumn = grid.columnOfField(QStringLiteral("ID"));
    if (!range || idColumn < 0)
        return;
    const int kwordColumn = grid.columnOfField(QStringLiteral("KWord"));
    const int categoryColumn = kwordColumn >= 0 ? kwordColumn : grid.fixedCols();
    m_window->setEnabled(false);
    // Not a child of the disabled main window, which would disable it as well.
    const std::optional<QString> category
        = AskCategory(m_db, grid.text(range->first, categoryColumn), nullptr);
    if (m_formParameter)
        *m_formParameter = category.value_or(kCategoryCancelled);
    if (category) {
        QList<int> rows;
        QList<qint64> ids;
        for (int row = range->first; row <= range->second; ++row) {
            bool ok = false;
            const qint64 id = grid.text(row, idColumn).toLongLong(&ok);
            if (ok) {
                rows.append(row);
                ids.append(id);
            }
        }
        // The list shows the new category only where the database now holds it.
        if (const auto changed = ReplaceCategoryInDatabase(m_db, *category, ids)) {
            for (int i = 0; i < rows.size(); ++i) {
                if (changed->contains(ids[i]))
                    grid.setText(rows[i], categoryColumn, *category);
            }
        } else {
            m_db.feedback().message(kCategoryNotChanged);
        }
    }
    m_window->setEnabled(true);
}

void SearchCommands::openNameRules()
{
    if (m_formParameter)
        *m_formParameter = simplify::kReplacementTable;
    if (m_editor) {
        m_editor->raise();
        m_editor->activateWindow();
        return;
    }
    auto* editor = new simplify::NameSimp(m_db, simplify::kReplacementTable, m_window);
    m_editor = editor;
    editor->show();
}

grid::GridModel* SearchCommands::gridModelOf(QWidget* gridWidget)
{
    if (!gridWidget)
        return nullptr;
    auto* view = qobject_cast<QAbstractItemView*>(gridWidget);
    if (!view)
        view = gridWidget->findChild<QAbstractItemView*>();
    return view ? qobject_cast<grid::GridModel*>(view->model()) : nullptr;
}

} // namespace quel::search

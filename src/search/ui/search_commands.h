#pragma once

#include "search/product_search.h"

#include <QObject>
#include <QPointer>

class QWidget;

namespace quel::core {
class Feedback;
}
namespace quel::store {
class DB_Operate;
}
namespace quel::grid {
class GridModel;
} // namespace quel::grid
namespace quel::web {
class Browser;
}

namespace quel::search {

class SearchPanel;

// The main window's search features: the product search (Com 0, M_DownByKey) in its
// browser object WB, the category change of the product list (Com 2) and the rule editor
// (m_Replace). Dialog results are also left in the window's FormParameter when given.
class SearchCommands : public QObject
{
    Q_OBJECT

public:
    SearchCommands(QWidget* mainWindow, store::DB_Operate& db, QString* formParameter = nullptr);
    ~SearchCommands() override;

    web::Browser& browser() const { return *m_browser; }
    SearchPanel* panel() const { return m_panel; }
    // The area the panel covers while a search runs (the main window's central widget
    // when none is set).
    void setPanelArea(QWidget* area) { m_area = area; }
    bool isSearching() const { return m_searching; }

    // SearchProducts: asks for the condition, then searches. A press while a search runs
    // is ignored: both would drive the one browser.
    void searchProducts();
    // Searches without asking (the condition as the dialog would hand it back).
    void searchFor(const QString& keyword, const QString& nick);
    // ReplaceCategory on the product list's grid.
    void replaceCategory(grid::GridModel& grid);
    // Opens the rule editor on 替换表.
    void openNameRules();

    // The grid model shown by a list's grid widget (the widget itself or a view inside it);
    // null while the list has none.
    static grid::GridModel* gridModelOf(QWidget* gridWidget);

signals:
    // A search has ended (the product list is not refreshed by the search itself).
    void searchFinished(const quel::search::SearchReport& report);

private:
    QWidget* m_window;
    store::DB_Operate& m_db;
    QString* m_formParameter;
    web::Browser* m_browser;
    SearchPanel* m_panel;
    QPointer<QWidget> m_area;
    QPointer<QWidget> m_editor;
    bool m_searching = false;
};

} // namespace quel::search

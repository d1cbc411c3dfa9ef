#pragma once

#include "grid/grid_model.h"

#include <QObject>
#include <QPointer>

class QComboBox;
class QLineEdit;
class QWidget;

namespace quel::store {
class DB_Operate;
}

namespace quel::grid {
class GridView;
} // namespace quel::grid

namespace quel::views {

// The four lists of the main window (0 products, 1 product details, 2 sales of the
// products in tPName, 3 buyers of the products in tPName1): their grids, the filter combos
// of lists 0 and 1, the product boxes of lists 2 and 3, and what the list buttons do.
// The main window puts the grids into its pages and hands over its combos and boxes.
class ListViews : public QObject
{
    Q_OBJECT
    // The grid view lives in another library; its moc output needs the full class so that
    // exportRequested carries the view as a QObject pointer.
    Q_MOC_INCLUDE("grid/ui/grid_view.h")

public:
    static constexpr int kLists = 4;

    // The grids are created as children of gridParent until a page takes them.
    ListViews(store::DB_Operate& db, QWidget* gridParent);
    ~ListViews() override;

    grid::GridView* grid(int list) const;

    // The column, operator and value combos of list 0 or 1. They stop accepting typing;
    // the operator gets its entries "＝" and "≠" and the text "=".
    void attachFilter(int list, QComboBox* column, QComboBox* op, QComboBox* value);
    // The text box whose chosen products list 2 or 3 shows.
    void attachProductBox(int list, QLineEdit* box);

    // Rebuilds a list from the database and reports its record-count line.
    void fill(int list);
    // Refills the column combo of list 0 or 1 from its grid.
    void fillColumnCombo(int list, bool keepText);
    // Every grid back to its heading rows.
    void clearGrids();

    // Deletes the selected products of list 0 or 1 (with their trades), the main window
    // disabled meanwhile.
    bool deleteSelected(int list);
    // Lets the user pick products for list 2 or 3 and shows their sales or buyers.
    bool pickAndShow(int list);

signals:
    // The record-count line after a list was built, for the main window's hint label.
    void hintChanged(const QString& text);
    // A right press on a grid: show the export menu for it there.
    void exportRequested(quel::grid::GridView* grid, const QPoint& globalPos);

private:
    struct Filter
    {
        QPointer<QComboBox> column;
        QPointer<QComboBox> op;
        QPointer<QComboBox> value;
    };
    void onColumnChosen(int list);
    void onDoubleClicked(int list);

    store::DB_Operate& m_db;
    grid::GridView* m_grids[kLists] = {};
    Filter m_filters[2];
    QPointer<QLineEdit> m_boxes[2];
};

} // namespace quel::views

#pragma once

#include "views/lists.h"

#include <QWidget>
#include <optional>

class QAbstractButton;
class QLineEdit;

namespace quel::store {
class DB_Operate;
}

namespace quel::grid {
class GridView;
} // namespace quel::grid

namespace quel::views {

// The chosen products a text box stands for: its text holds the names, its tag (the
// dynamic property "Tag") the IDs, each entry followed by "；".
QString productBoxTag(const QLineEdit* box);
void setProductBoxTag(QLineEdit* box, const QString& ids);

// The product chooser "ProductSel" (caption "选择产品名称"): every product, best sellers
// first (a heading press sorts by its column), with a selection column to tick ("√"), a
// search box, 全选 (Com_2) and 全不选 (Com_3), and two buttons, cancel (Com_0) and
// confirm (Com_1). Modeless and above the other windows; deletes itself when closed.
class ProductChooser : public QWidget
{
    Q_OBJECT

public:
    static QString caption(); // "选择产品名称"

    // Fills the grid and ticks the products of chosenIds.
    ProductChooser(store::DB_Operate& db, const QString& chosenIds, QWidget* parent = nullptr);
    ~ProductChooser() override;

    grid::GridView* grid() const { return m_grid; }
    QAbstractButton* cancelButton() const { return m_cancel; }
    QAbstractButton* confirmButton() const { return m_confirm; }
    // The search box: only rows whose title, short name, shop or code hold its text show.
    QLineEdit* findBox() const { return m_find; }
    // The grid rows the search leaves in view.
    QList<int> shownRows() const;
    // 全选 ticks the rows in view; 全不选 clears every row.
    void markShownRows(bool ticked);

    // What the user decided: the ticked products after confirm (possibly none), nothing
    // after cancel or the close box.
    std::optional<ChosenProducts> result() const { return m_result; }

signals:
    // Emitted once, when the window closes.
    void decided(std::optional<quel::views::ChosenProducts> result);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void confirm();
    void applyFind();

    grid::GridView* m_grid;
    QLineEdit* m_find = nullptr;
    QAbstractButton* m_cancel;
    QAbstractButton* m_confirm;
    std::optional<ChosenProducts> m_result;
    bool m_announced = false;
};

// Lets the user pick products into a text box: shows the chooser with the box's products
// ticked and waits (the rest of the program keeps working) until it closes. On confirm the
// box gets the names and IDs and the result is true (also when nothing was ticked); after
// cancel the box is unchanged and the result false. While a chooser is open, another pick
// brings it to the front and returns false. A box that holds no products yet offers the
// products of offeredIds ticked (what the user chose last on another page).
bool pickProducts(
    QLineEdit* box, store::DB_Operate& db, QWidget* parent, const QString& offeredIds = {});

} // namespace quel::views

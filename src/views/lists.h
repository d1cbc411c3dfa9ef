#pragma once

#include <QString>
#include <QStringList>

namespace quel::store {
class DB_Operate;
}

namespace quel::grid {
class GridModel;
class TextMeasure;
} // namespace quel::grid

namespace quel::views {

// The grids of the list pages and of the product chooser.
enum class ListKind
{
    Products, // 产品表, newest first
    ProductDetails, // 产品表 with the downloaded figures
    Sales, // trades of the chosen products (TEMP_Customer)
    Customers, // buyers of the chosen products (TEMP_Customer)
    Chooser, // the product chooser
};

// Lays the grid out for a list: its fields and titles, 3 fixed columns, the column codes.
void layOutList(grid::GridModel& grid, ListKind kind);

// The record-count line of the hint label: "显示产品记录数：" + shown + "；共有记录数：" + found.
QString recordCountLine(int shown, long found);

// Which filter columns of the two product lists compare as numbers: from column 8 on in
// the product list (邮费), columns 8-14 in the detail list.
bool isNumericFilterColumn(ListKind kind, const QString& columnText);

// The WHERE condition of a product-list filter, or the empty text for "no filter" (an
// empty column, operator or value, or the value "全部"). The field is row 0 of the column
// the column text starts with; "＝" becomes "=", "≠" becomes "<>". Numbers compare bare,
// columns titled with "日期" as date literals, everything else as quoted text with its
// single quotes doubled. A value that is not a plain number is never written bare.
QString buildFilterCondition(const grid::GridModel& grid, const QString& columnText,
    const QString& operatorText, const QString& valueText, bool numeric);

// The three filter texts of a product list.
struct FilterTexts
{
    QString column;
    QString op;
    QString value;
};

// Rebuilds a product list (Products or ProductDetails): lays it out, and with fill set,
// fills it from 产品表 with the filter, newest first. Returns the number of records found
// (0 when not filled).
long showProductList(grid::GridModel& grid, ListKind kind, store::DB_Operate& db,
    const FilterTexts& filter, bool fill, const grid::TextMeasure& measure);

// Deletes the products of the selected rows (the current row to the selection row) and
// their trades, after the question "您确定要删除第i至第j产品？", in one transaction, and
// removes the rows from the grid. Buyers stay. False when nothing was deleted (no data row
// current, No, or a database failure, which is reported and undoes everything).
bool deleteSelectedProducts(grid::GridModel& grid, store::DB_Operate& db);

// The products picked in the chooser. Each list is its entries each followed by "；";
// the names go into a text box's text, the IDs into its tag.
struct ChosenProducts
{
    QString names;
    QString ids;

    // The chooser's result text: names + "〗★〖" + IDs.
    QString resultText() const;
    static ChosenProducts fromResultText(const QString& text);
};

// The IDs of an ID list ("5；7；"): the entries that are whole numbers, in order.
QStringList productIds(const QString& idList);

// Rebuilds TEMP_Customer with the trades of the listed products and shows them, largest
// quantities first. Returns the number of records found.
long showSalesList(grid::GridModel& grid, store::DB_Operate& db, const QString& idList,
    const grid::TextMeasure& measure);

// Rebuilds TEMP_Customer with the buyers of the listed products, one row per buyer
// nickname, and shows them, highest buyer credit first. Returns the records found.
long showCustomerList(grid::GridModel& grid, store::DB_Operate& db, const QString& idList,
    const grid::TextMeasure& measure);

// The chooser's grid: every product, best sellers first.
void fillProductChoice(
    grid::GridModel& grid, store::DB_Operate& db, const grid::TextMeasure& measure);
// Ticks the rows whose product ID (column 0) is in the ID list.
void markChosenProducts(grid::GridModel& grid, const QString& idList);
// What the ticked rows of the chooser's grid stand for.
ChosenProducts chosenProducts(const grid::GridModel& grid);
// The widest the chooser's item titles are shown, in twips, so that the figures and the shop
// stay in view.
inline constexpr int kChoiceTitleTwips = 4800;
// Whether a chooser row's title, short name, shop or item code holds text (case-insensitive;
// an empty text matches every row).
bool productChoiceMatches(const grid::GridModel& grid, int row, const QString& text);
// Ticks (or clears) the selection column of these grid rows.
void setProductChoiceMarks(grid::GridModel& grid, const QList<int>& rows, bool ticked);

} // namespace quel::views

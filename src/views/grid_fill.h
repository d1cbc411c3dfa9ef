#pragma once

#include <QString>

namespace quel::store {
class DB_Operate;
}

namespace quel::grid {
class GridModel;
class TextMeasure;
} // namespace quel::grid

namespace quel::views {

// The field of the product list's "调价" column: not a column of 产品表 but the change of
// the product's price between its last two observations in 价格历史.
inline const QString kPriceChangeField = QStringLiteral("PriceChange");
// The computed column "关注" of the product lists: ★ for a followed product.
inline const QString kFollowedField = QStringLiteral("Followed");

// The SQL expression a list computes for a field that is not a column of its table (over
// 产品表); empty for an ordinary field. Filters and value lists use it in place of the name.
QString computedFieldSql(const QString& field);

// A fill shows rows x columns of at most this many cells.
inline constexpr long kCellBudget = 350000;

// Most data rows a grid of `cols` columns shows: round(350000 / cols - 0.5) - 2, halves
// to even (38886 for 9 columns, 43748 for 8).
long gridRowLimit(int cols);

// "数据库里共有n条记录，表格只能显示limit条记录，因此无法全部显示，请修改筛选条件。"
QString rowLimitMessage(long records, long limit);

// Fills the grid with the rows of the table named by its tag: "SELECT * FROM " + tag,
// + " WHERE " + condition and " ORDER BY " + order when given (only the fields the grid
// shows are read when they are all plain column names of the table). Each column shows the
// field named in row 0 (a column without a field stays empty, or numbers the rows when
// titled "序号"; a computed field is read as its expression, a rise shown with "+"); dates
// with or without time by dateOnly. More records than the row limit:
// the message and the first rows only. Then the columns are fitted. Returns the number of
// records the statement found (0 when the table does not exist or the query failed; the
// database layer shows its own message for the latter).
long fillGridFromTable(grid::GridModel& grid, store::DB_Operate& db, const QString& condition,
    const QString& order, bool dateOnly, const grid::TextMeasure& measure);

} // namespace quel::views

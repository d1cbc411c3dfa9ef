#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <optional>
#include <utility>

namespace quel::store {
class DB_Operate;
}

namespace quel::search {

// What a cancelled category dialog leaves in FormParameter.
inline const QString kCategoryCancelled = QStringLiteral("〗★〖");

// Shown when the database refused a category change (nothing was changed).
inline const QString kCategoryNotChanged
    = QStringLiteral("产品类别修改失败，数据库中的类别未作改动！");

// The data rows a category change covers: from the grid's current row to its selection end,
// in ascending order whichever way the selection was made, kept within the data rows.
// Nothing when the current row is a fixed row or lies beyond the last row.
std::optional<std::pair<int, int>> CategoryRowRange(
    int current, int selectionEnd, int rowCount, int fixedRows);

// Gives the products with these IDs the category, with the progress window, all or nothing.
// Returns the IDs whose rows were changed (an ID without a product changes nothing), or
// nothing when the database refused the change, which then keeps every old category.
std::optional<QSet<qint64>> ReplaceCategoryInDatabase(
    store::DB_Operate& db, const QString& category, const QList<qint64>& productIds);

} // namespace quel::search

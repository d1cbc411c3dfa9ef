#pragma once

#include <QList>
#include <QString>
#include <optional>
#include <utility>

namespace quel::store {
class DB_Operate;
}

namespace quel::search {

// What the category dialog hands back when it was cancelled.
inline const QString kCategoryCancelled = QStringLiteral("〗★〖");

// The data rows a category change covers: from the grid's current row to its selection end,
// in ascending order whichever way the selection was made, kept within the data rows.
// Nothing when the current row is a fixed row or lies beyond the last row.
std::optional<std::pair<int, int>> CategoryRowRange(
    int current, int selectionEnd, int rowCount, int fixedRows);

// Gives the products with these IDs the category, with the progress window, all or nothing.
bool ReplaceCategoryInDatabase(
    store::DB_Operate& db, const QString& category, const QList<qint64>& productIds);

} // namespace quel::search

#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace quel::db {
class Connection;
} // namespace quel::db

namespace quel::store {

// The table that keeps what every look at a product showed, one row per product and day.
inline const QString kPriceHistoryTable = QStringLiteral("价格历史");

// What one look at a product showed on one day. Figures the look did not see stay empty,
// so that they neither overwrite what an earlier look of the same day saw nor read as 0.
struct PriceObservation
{
    QDate day;
    std::optional<double> price; // Price
    std::optional<qint64> num1; // Num1: sold in the current period
    std::optional<qint64> num9; // Num9: sold in the last 90 days
    std::optional<qint64> vTimes; // VTimes: page views
    std::optional<qint64> cTimes; // CTimes: favourites
};

// Records an observation of the product with this ID: the day's row is made, or gets the
// figures this observation saw while keeping the others. Runs inside the caller's
// transaction when there is one. False with the engine's message on failure.
bool RecordObservation(const db::Connection& conn, qint64 productId, const PriceObservation& seen,
    QString* error = nullptr);

// What a result list showed of one item: its code, its price and, when the list showed it,
// its current sales.
struct ListedItem
{
    QString pCode;
    double price = 0;
    std::optional<qint64> num1;
};

// Records what one result list showed, all on one day, for every stored product with a
// listed code, as RecordObservation would one by one (an item listed twice counts as two
// looks in list order). One statement per page keeps it cheap beside the storing itself.
bool RecordListedItems(const db::Connection& conn, const QDate& day, const QList<ListedItem>& items,
    QString* error = nullptr);

// The change of a product's price since the observation before the last one that saw a
// price, as an SQL expression over the product row `productTable`.ID; NULL while there
// is only one such observation. Each half is one step down the (PID, Dat) index.
QString PriceChangeExpression(const QString& productTable);

} // namespace quel::store

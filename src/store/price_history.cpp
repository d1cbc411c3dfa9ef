#include "store/price_history.h"

#include "db/connection.h"
#include "db/database.h"
#include "db/stored_date.h"

#include <QHash>
#include <QStringList>
#include <algorithm>

namespace quel::store {

using db::canonicalDateText;
using db::Connection;
using db::Database;
using db::Statement;

namespace {

// The engine has no upsert: the day's row is written whole, from the figures this look saw
// and, for those it did not see, the row the day already has (REPLACE through the unique
// (PID, Dat) index). A product that is not stored (deleted while its page was downloading,
// an unknown code) gets nothing.
const QString kRecordById = QStringLiteral(
    "INSERT OR REPLACE INTO 价格历史(PID,Dat,Price,Num1,Num9,VTimes,CTimes) "
    "SELECT P.ID,?2,coalesce(?3,H.Price),coalesce(?4,H.Num1),coalesce(?5,H.Num9),"
    "coalesce(?6,H.VTimes),coalesce(?7,H.CTimes) FROM 产品表 AS P LEFT JOIN 价格历史 AS H "
    "ON H.PID=P.ID AND H.Dat=?2 WHERE P.ID=?1");

// The items of a list, ?1 the day, then code, price and sales per item (a chain of SELECTs:
// the engine names no VALUES columns). A product's first look of the day makes its row;
// the statement does not read 价格历史, which would make the engine copy the result first.
QString listedItemsInsert(qsizetype items)
{
    QString sql = QStringLiteral(
        "INSERT OR IGNORE INTO 价格历史(PID,Dat,Price,Num1) SELECT P.ID,?1,V.Price,V.Num1 FROM (");
    sql.reserve(sql.size() + items * 40 + 60);
    for (qsizetype i = 0; i < items; ++i) {
        const qsizetype first = 2 + 3 * i;
        sql += i == 0 ? QLatin1String("SELECT ?") : QLatin1String(" UNION ALL SELECT ?");
        sql += QString::number(first);
        sql += i == 0 ? QLatin1String(" AS Code,?") : QLatin1String(",?");
        sql += QString::number(first + 1);
        sql += i == 0 ? QLatin1String(" AS Price,?") : QLatin1String(",?");
        sql += QString::number(first + 2);
        if (i == 0)
            sql += QLatin1String(" AS Num1");
    }
    // The list's codes are plain text: the comparison takes the column's way of ignoring
    // letter case explicitly, which a server does not carry over from the column.
    sql += QStringLiteral(") AS V JOIN 产品表 AS P ON P.PCode=V.Code COLLATE NOCASE");
    return sql;
}

// A later look of the same day at a listed item: what the list showed replaces, the rest
// stays. ?1 code, ?2 day, ?3 price, ?4 sales.
const QString kListedItemUpdate
    = QStringLiteral("UPDATE 价格历史 SET Price=?3,Num1=coalesce(?4,Num1) WHERE Dat=?2 AND PID IN "
                     "(SELECT ID FROM 产品表 WHERE PCode=?1)");

// Items per statement, within the engine's limits of 999 parameters and 500 SELECTs.
constexpr qsizetype kItemsPerStatement = 300;

void bindOptional(Statement& st, int index, const std::optional<qint64>& value)
{
    if (value)
        st.bindInt64(index, *value);
    else
        st.bindNull(index);
}

void bindFigures(Statement& st, const QByteArray& day, const PriceObservation& seen)
{
    st.bindText(2, day);
    if (seen.price)
        st.bindDouble(3, *seen.price);
    else
        st.bindNull(3);
    bindOptional(st, 4, seen.num1);
    bindOptional(st, 5, seen.num9);
    bindOptional(st, 6, seen.vTimes);
    bindOptional(st, 7, seen.cTimes);
}

bool usable(const Connection& conn, const PriceObservation& seen, QString* error)
{
    if (!conn.isOpen()) {
        if (error)
            *error = QStringLiteral("no database connection");
        return false;
    }
    if (!seen.day.isValid()) {
        if (error)
            *error = QStringLiteral("observation without a day");
        return false;
    }
    return true;
}

} // namespace

bool RecordObservation(
    const Connection& conn, qint64 productId, const PriceObservation& seen, QString* error)
{
    if (!usable(conn, seen, error))
        return false;
    Database& db = *conn.database();
    Statement stmt = db.prepareCached(kRecordById, error);
    if (!stmt)
        return false;
    stmt.bindInt64(1, productId);
    bindFigures(stmt, canonicalDateText(seen.day).toUtf8(), seen);
    if (!stmt.send()) {
        if (error)
            *error = stmt.errorText();
        return false;
    }
    return true;
}

bool RecordListedItems(
    const Connection& conn, const QDate& day, const QList<ListedItem>& items, QString* error)
{
    PriceObservation seen;
    seen.day = day;
    if (!usable(conn, seen, error))
        return false;
    // One row per code (codes compare without regard to letter case): a later sighting
    // replaces what it saw of an earlier one, as a later look of the day does.
    QList<ListedItem> merged;
    QHash<QString, qsizetype> at;
    for (const ListedItem& item : items) {
        const QString key = item.pCode.toLower();
        const auto found = at.constFind(key);
        if (found == at.cend()) {
            at.insert(key, merged.size());
            merged << item;
            continue;
        }
        ListedItem& kept = merged[*found];
        kept.price = item.price;
        if (item.num1)
            kept.num1 = item.num1;
    }
    Database& db = *conn.database();
    const QByteArray dayText = canonicalDateText(day).toUtf8();
    const auto failed = [&](const Statement& st) {
        if (error)
            *error = st.errorText();
        return false;
    };
    qsizetype made = 0;
    for (qsizetype from = 0; from < merged.size(); from += kItemsPerStatement) {
        const qsizetype count = std::min(kItemsPerStatement, merged.size() - from);
        Statement stmt = db.prepareCached(listedItemsInsert(count), error);
        if (!stmt)
            return false;
        stmt.bindText(1, dayText);
        for (qsizetype i = 0; i < count; ++i) {
            const ListedItem& item = merged[from + i];
            const int first = int(2 + 3 * i);
            stmt.bindText(first, item.pCode);
            stmt.bindDouble(first + 1, item.price);
            bindOptional(stmt, first + 2, item.num1);
        }
        if (!stmt.run())
            return failed(stmt);
        made += stmt.changes();
    }
    // Every item got its first row of the day: nothing was there to keep (an item is stored
    // once, so a row made is an item placed). Otherwise some had
    // been looked at today already (or are not stored): each gets what the list showed, which
    // changes nothing for a row just made.
    if (made == merged.size())
        return true;
    for (const ListedItem& item : std::as_const(merged)) {
        Statement stmt = db.prepareCached(kListedItemUpdate, error);
        if (!stmt)
            return false;
        stmt.bindText(1, item.pCode);
        stmt.bindText(2, dayText);
        stmt.bindDouble(3, item.price);
        bindOptional(stmt, 4, item.num1);
        if (!stmt.run())
            return failed(stmt);
    }
    return true;
}

QString PriceChangeExpression(const QString& productTable)
{
    const QString latest = QStringLiteral(
        "(SELECT H.Price FROM 价格历史 AS H WHERE H.PID=%1.ID AND H.Price IS NOT NULL "
        "ORDER BY H.Dat DESC LIMIT 1%2)");
    // Rounded to cents: prices are money, and the difference of two doubles is not.
    return QStringLiteral("ROUND(") + latest.arg(productTable, QString()) + u'-'
        + latest.arg(productTable, QStringLiteral(" OFFSET 1")) + QStringLiteral(",2)");
}

} // namespace quel::store

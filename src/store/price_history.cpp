#include "store/price_history.h"

#include "store/connection.h"
#include "store/database.h"
#include "store/jet_date.h"

#include <sqlite3.h>

namespace quel::store {

namespace {

// The engine has no upsert: the day's row gets what this look saw, then the products that
// have no row for the day get one. ?1 picks the products (by ID or by item code), ?2 is the
// day, ?3-?7 the figures; a product that is not stored (deleted while its page was
// downloading, an unknown code) gets nothing.
struct Upsert
{
    QString update;
    QString insert;
};

Upsert upsertFor(const QString& key)
{
    return {
        // A later look on the same day replaces only what it saw.
        QStringLiteral("UPDATE 价格历史 SET Price=coalesce(?3,Price),Num1=coalesce(?4,Num1),"
                       "Num9=coalesce(?5,Num9),VTimes=coalesce(?6,VTimes),"
                       "CTimes=coalesce(?7,CTimes) WHERE Dat=?2 AND PID IN "
                       "(SELECT ID FROM 产品表 WHERE %1=?1)")
            .arg(key),
        QStringLiteral("INSERT INTO 价格历史(PID,Dat,Price,Num1,Num9,VTimes,CTimes) "
                       "SELECT P.ID,?2,?3,?4,?5,?6,?7 FROM 产品表 AS P WHERE P.%1=?1 AND NOT "
                       "EXISTS (SELECT 1 FROM 价格历史 AS H WHERE H.PID=P.ID AND H.Dat=?2)")
            .arg(key),
    };
}

void bindOptional(sqlite3_stmt* st, int index, const std::optional<qint64>& value)
{
    if (value)
        sqlite3_bind_int64(st, index, *value);
    else
        sqlite3_bind_null(st, index);
}

void bindFigures(sqlite3_stmt* st, const QByteArray& day, const PriceObservation& seen)
{
    sqlite3_bind_text(st, 2, day.constData(), int(day.size()), SQLITE_TRANSIENT);
    if (seen.price)
        sqlite3_bind_double(st, 3, *seen.price);
    else
        sqlite3_bind_null(st, 3);
    bindOptional(st, 4, seen.num1);
    bindOptional(st, 5, seen.num9);
    bindOptional(st, 6, seen.vTimes);
    bindOptional(st, 7, seen.cTimes);
}

// Runs the update and the insert with the products' key bound by bindKey.
template <typename BindKey>
bool record(const Connection& conn, const Upsert& sql, const PriceObservation& seen, QString* error,
    BindKey bindKey)
{
    Database& db = *conn.database();
    const QByteArray day = canonicalDateText(seen.day).toUtf8();
    for (const QString* text : { &sql.update, &sql.insert }) {
        Statement stmt = db.prepareCached(*text, error);
        if (!stmt)
            return false;
        bindKey(stmt.get());
        bindFigures(stmt.get(), day, seen);
        if (sqlite3_step(stmt.get()) != SQLITE_DONE) {
            if (error)
                *error = db.lastErrorText();
            return false;
        }
    }
    return true;
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
    static const Upsert byId = upsertFor(QStringLiteral("ID"));
    return record(
        conn, byId, seen, error, [&](sqlite3_stmt* st) { sqlite3_bind_int64(st, 1, productId); });
}

bool RecordObservationByCode(
    const Connection& conn, const QString& pCode, const PriceObservation& seen, QString* error)
{
    if (!usable(conn, seen, error))
        return false;
    const QByteArray code = pCode.toUtf8();
    static const Upsert byCode = upsertFor(QStringLiteral("PCode"));
    return record(conn, byCode, seen, error, [&](sqlite3_stmt* st) {
        sqlite3_bind_text(st, 1, code.constData(), int(code.size()), SQLITE_TRANSIENT);
    });
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

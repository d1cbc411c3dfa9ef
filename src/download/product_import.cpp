#include "download/product_import.h"

#include "db/connection.h"
#include "db/database.h"
#include "db/stored_date.h"
#include "download/product_result.h"
#include "store/db_operate.h"
#include "store/price_history.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <optional>

namespace quel::download {

namespace {

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

const QString kHeadUpdate = QStringLiteral(
    "UPDATE 产品表 SET Num1=?,Num9=?,Style=?,VTimes=?,CTimes=?,SNum=?,dDat=?,Price=? WHERE ID=?");

// A head figure bound as a quoted value is stored in a number column: blank is NULL, a number
// is that number, anything else stays text for the engine to judge.
void bindFigure(db::Statement& st, int index, const QString& text)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    if (trimmed.isEmpty()) {
        st.bindNull(index);
    } else if (const qint64 whole = trimmed.toLongLong(&ok); ok) {
        st.bindInt64(index, whole);
    } else if (const double number = trimmed.toDouble(&ok); ok && std::isfinite(number)) {
        st.bindDouble(index, number);
    } else {
        st.bindText(index, text);
    }
}

// The item page's figures into the product's row.
bool updateHead(
    db::Database& db, const QStringList& f, qint64 productId, const QDate& today, QString* error)
{
    db::Statement st = db.prepareCached(kHeadUpdate, error);
    if (!st)
        return false;
    bindFigure(st, 1, f[0]);
    bindFigure(st, 2, f[1]);
    st.bindText(3, f[3]);
    bindFigure(st, 4, f[4]);
    bindFigure(st, 5, f[5]);
    bindFigure(st, 6, f[2]);
    st.bindText(7, db::canonicalDateText(today));
    bindFigure(st, 8, f[6]);
    st.bindInt64(9, productId);
    if (!st.send())
        return fail(error, st.errorText());
    return true;
}

// The product's stored trades.
std::optional<std::vector<StoredSale>> storedSales(
    db::Database& db, qint64 productId, QString* error)
{
    db::Statement st = db.prepareCached(
        QStringLiteral("SELECT Dat,Buyer,BCode,Pri,Num FROM 交易表 WHERE PID=?"), error);
    if (!st)
        return std::nullopt;
    st.bindInt64(1, productId);
    std::vector<StoredSale> stored;
    db::StepResult r;
    while ((r = st.step()) == db::StepResult::Row) {
        const QString dat = st.text(0);
        const std::optional<QDateTime> time = db::parseCanonicalDate(dat);
        stored.push_back({ time ? *time : QVariant(dat).toDateTime(), st.text(1), st.text(2),
            st.real(3), st.int64(4) });
    }
    if (r == db::StepResult::Error) {
        fail(error, st.errorText());
        return std::nullopt;
    }
    return stored;
}

std::optional<double> figure(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

std::optional<qint64> wholeFigure(const QString& text)
{
    const std::optional<double> value = figure(text);
    if (!value || std::abs(*value) > 9e15)
        return std::nullopt;
    return qint64(std::llround(*value));
}

// The item page's figures as the head line gives them; one that is not a number was not seen.
store::PriceObservation headObservation(const QStringList& f, const QDate& today)
{
    store::PriceObservation seen;
    seen.day = today;
    seen.num1 = wholeFigure(f[0]);
    seen.num9 = wholeFigure(f[1]);
    seen.vTimes = wholeFigure(f[4]);
    seen.cTimes = wholeFigure(f[5]);
    seen.price = figure(f[6]);
    return seen;
}

// A server database is shared by several machines importing at once. The product's lock
// keeps two imports of one product (a job taken over from a machine that was only slow)
// apart, so the second sees the first's trades and stores none of them again.
bool lockProduct(db::Database& db, qint64 productId, QString* error)
{
    db::Statement st = db.prepareNativeCached(
        QStringLiteral("SELECT pg_advisory_xact_lock(?::int, ?::int)"), error);
    if (!st)
        return false;
    st.bindInt64(1, qint64(quint64(productId) >> 32));
    st.bindInt64(2, qint64(qint32(quint32(quint64(productId) & 0xffffffffu))));
    // Taken when the server comes to it; the next statement that waits fails if it is not.
    if (!st.send())
        return fail(error, st.errorText());
    return true;
}

// The lock of one buyer code (in the server's one-number lock space, apart from the
// products'): FNV-1a of its UTF-8 text.
qint64 buyerCodeLockKey(const QByteArray& code)
{
    quint64 h = 1469598103934665603ull;
    for (const char c : code) {
        h ^= quint64(static_cast<unsigned char>(c));
        h *= 1099511628211ull;
    }
    return qint64(h);
}

// Takes the locks of the buyer codes this import may add, in one order for every machine
// (so two imports never wait on each other in a circle): a code another machine adds
// meanwhile is then seen as stored once its import commits, and is neither added twice nor
// refused. One statement: the keys are taken in the order of the sorted list.
bool lockBuyerCodes(db::Database& db, const QStringList& codes, QString* error)
{
    if (codes.isEmpty())
        return true;
    std::vector<qint64> keys;
    keys.reserve(std::size_t(codes.size()));
    for (const QString& code : codes)
        keys.push_back(buyerCodeLockKey(code.toUtf8()));
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    QString list = QStringLiteral("{");
    for (std::size_t i = 0; i < keys.size(); ++i)
        list += (i == 0 ? QString() : QStringLiteral(",")) + QString::number(keys[i]);
    list += QLatin1Char('}');
    db::Statement st = db.prepareNativeCached(
        QStringLiteral("SELECT count(pg_advisory_xact_lock(k)) FROM (SELECT k FROM"
                       " unnest(?::bigint[]) WITH ORDINALITY AS t(k, n) ORDER BY n) AS s"),
        error);
    if (!st)
        return false;
    st.bindText(1, list);
    if (!st.send())
        return fail(error, st.errorText());
    return true;
}

// Of the given codes, those 客户表 holds (compared as the table compares them: without
// regard to letter case), asked a few hundred at a time.
std::optional<QSet<QString>> storedBuyerCodes(
    db::Database& db, const QStringList& codes, QString* error)
{
    constexpr qsizetype kPerQuery = 200;
    QSet<QString> stored;
    for (qsizetype from = 0; from < codes.size(); from += kPerQuery) {
        const qsizetype n = std::min(kPerQuery, codes.size() - from);
        QString sql = QStringLiteral("SELECT BCode FROM 客户表 WHERE BCode IN (");
        for (qsizetype i = 0; i < n; ++i)
            sql += i == 0 ? QLatin1String("?") : QLatin1String(",?");
        sql += QLatin1Char(')');
        db::Statement st = db.prepare(sql, error);
        if (!st)
            return std::nullopt;
        for (qsizetype i = 0; i < n; ++i)
            st.bindText(int(i) + 1, codes[from + i].toUtf8());
        db::StepResult r;
        while ((r = st.step()) == db::StepResult::Row)
            stored.insert(st.text(0).toLower());
        if (r == db::StepResult::Error) {
            if (error)
                *error = st.errorText();
            return std::nullopt;
        }
    }
    return stored;
}

// Trades per INSERT on a server: few round trips, far below the server's parameter limit.
constexpr std::size_t kSalesPerServerInsert = 64;

QString salesInsert(std::size_t rows)
{
    QString sql = QStringLiteral("INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) VALUES");
    for (std::size_t i = 0; i < rows; ++i)
        sql += i == 0 ? QLatin1String("(?,?,?,?,?,?)") : QLatin1String(",(?,?,?,?,?,?)");
    return sql;
}

QString codesInsert(qsizetype rows)
{
    QString sql = QStringLiteral("INSERT INTO 客户表(BCode) VALUES(?)");
    for (qsizetype i = 1; i < rows; ++i)
        sql += QLatin1String(",(?)");
    return sql;
}

// Binds one trade to the six parameters after offset.
void bindSale(db::Statement& st, int offset, qint64 productId, const SaleRecord& r)
{
    st.bindInt64(offset + 1, productId);
    st.bindText(offset + 2, r.buyerCode.toUtf8());
    st.bindText(offset + 3, r.buyer);
    st.bindText(offset + 4, db::canonicalDateText(r.time));
    st.bindDouble(offset + 5, r.price);
    st.bindInt64(offset + 6, r.quantity);
}

} // namespace

const QString kBuyerCodeLookup = QStringLiteral("SELECT 1 FROM 客户表 WHERE BCode=? LIMIT 1");

bool KnownBuyerCodes::load(const db::Connection& conn, QString* error)
{
    clear();
    if (!conn.isOpen()) {
        if (error)
            *error = QStringLiteral("no database connection");
        return false;
    }
    if (!conn.database()->prepareCached(kBuyerCodeLookup, error))
        return false;
    m_db = conn.shared();
    return true;
}

bool KnownBuyerCodes::contains(const QString& code) const
{
    if (m_added.contains(code))
        return true;
    if (!m_db || code.isEmpty())
        return false;
    db::Statement lookup = m_db->prepareCached(kBuyerCodeLookup);
    if (!lookup)
        return false;
    lookup.bindText(1, code);
    return lookup.step() == db::StepResult::Row;
}

void KnownBuyerCodes::clear()
{
    m_db.reset();
    m_added.clear();
}

bool ImportProductResult(const db::Connection& conn, qint64 productId, const QString& text,
    KnownBuyerCodes& known, ImportCounts* counts, QString* error, const QDate& today)
{
    const ProductResult result = ParseProductResult(text);
    switch (result.status) {
    case ProductResult::Status::Ok:
        break;
    case ProductResult::Status::Empty:
        return fail(error, QStringLiteral("empty result"));
    case ProductResult::Status::NoStyle:
        return fail(error, QStringLiteral("no item type in the head line"));
    case ProductResult::Status::BadDate:
        return fail(
            error, QStringLiteral("unreadable date in line %1").arg(result.badDateLine + 1));
    }
    if (!conn.isOpen())
        return fail(error, QStringLiteral("no database connection"));

    db::Transaction tx = conn.transaction();
    if (!tx.isActive())
        return fail(error, QStringLiteral("cannot begin a transaction"));

    QString why;
    db::Database& db = *conn.database();
    const bool shared = db.isServer();
    if (shared && !lockProduct(db, productId, &why))
        return fail(error, why);
    if (result.hasFullHead()) {
        if (!updateHead(db, result.head, productId, today, &why))
            return fail(error, why);
        QElapsedTimer historyTime;
        historyTime.start();
        const bool recorded
            = store::RecordObservation(conn, productId, headObservation(result.head, today), &why);
        if (counts)
            counts->historyNs += historyTime.nsecsElapsed();
        if (!recorded)
            return fail(error, why);
    }

    const std::optional<std::vector<StoredSale>> stored = storedSales(db, productId, &why);
    if (!stored)
        return fail(error, why);
    const std::vector<SaleRecord> fresh = SelectNewRecords(*stored, result.records);
    // On a server the buyer codes this import may add are locked, then looked up at once.
    std::optional<QSet<QString>> storedHere;
    if (shared) {
        QStringList candidates;
        QSet<QString> seen;
        for (const SaleRecord& r : fresh) {
            if (!r.buyerCode.isEmpty() && !known.addedHere(r.buyerCode)
                && !seen.contains(r.buyerCode)) {
                seen.insert(r.buyerCode);
                candidates << r.buyerCode;
            }
        }
        if (!lockBuyerCodes(db, candidates, &why))
            return fail(error, why);
        storedHere = storedBuyerCodes(db, candidates, &why);
        if (!storedHere)
            return fail(error, why);
    }
    const auto isKnown = [&](const QString& code) {
        if (!storedHere)
            return known.contains(code);
        return known.addedHere(code) || storedHere->contains(code.toLower());
    };
    // A product brings a few hundred records: one prepared statement each for the trades
    // and the new buyer codes, bound per row, keeps the import cheap on the user's thread.
    db::Statement insertSale = db.prepareCached(
        QStringLiteral("INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) VALUES(?,?,?,?,?,?)"),
        &why);
    db::Statement insertCode
        = db.prepareCached(QStringLiteral("INSERT INTO 客户表(BCode) VALUES(?)"), &why);
    if (!insertSale || !insertCode)
        return fail(error, why);
    // On a server every statement is a round trip: the trades go in rows of many at once,
    // the last rows of a product in one statement of their own size.
    std::size_t batched = 0;
    while (shared && batched < fresh.size()) {
        const std::size_t rows = std::min(kSalesPerServerInsert, fresh.size() - batched);
        db::Statement insertMany = db.prepareCached(salesInsert(rows), &why);
        if (!insertMany)
            return fail(error, why);
        for (std::size_t i = 0; i < rows; ++i)
            bindSale(insertMany, int(i) * 6, productId, fresh[batched + i]);
        if (!insertMany.send())
            return fail(error, insertMany.errorText());
        batched += rows;
    }
    QSet<QString> newCodes;
    QList<QByteArray> codesToAdd;
    for (std::size_t i = 0; i < fresh.size(); ++i) {
        const SaleRecord& r = fresh[i];
        if (i >= batched) {
            insertSale.reset();
            bindSale(insertSale, 0, productId, r);
            if (!insertSale.send())
                return fail(error, insertSale.errorText());
        }
        if (!r.buyerCode.isEmpty() && !isKnown(r.buyerCode) && !newCodes.contains(r.buyerCode)) {
            newCodes.insert(r.buyerCode);
            codesToAdd << r.buyerCode.toUtf8();
        }
    }
    // New buyer codes in the order first seen: one row per statement on a file, many on a
    // server.
    const qsizetype codesPerStatement = shared ? qsizetype(kSalesPerServerInsert) : 1;
    for (qsizetype from = 0; from < codesToAdd.size(); from += codesPerStatement) {
        const qsizetype rows = std::min(codesPerStatement, codesToAdd.size() - from);
        db::Statement many;
        db::Statement* insert = &insertCode;
        if (rows > 1) {
            many = db.prepareCached(codesInsert(rows), &why);
            if (!many)
                return fail(error, why);
            insert = &many;
        }
        insert->reset();
        for (qsizetype i = 0; i < rows; ++i)
            insert->bindText(int(i) + 1, codesToAdd[from + i]);
        if (!insert->send())
            return fail(error, insert->errorText());
    }
    // On a server the writes were sent unanswered: a refusal among them shows here.
    if (!tx.commit())
        return fail(error, QStringLiteral("commit failed: ") + db.lastErrorText());
    // Only codes that are really stored count as known.
    for (const QString& code : std::as_const(newCodes))
        known.add(code);
    if (counts) {
        counts->records += long(fresh.size());
        counts->buyers += long(newCodes.size());
    }
    return true;
}

} // namespace quel::download

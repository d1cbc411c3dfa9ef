#include "download/product_import.h"

#include "db/connection.h"
#include "db/database.h"
#include "db/stored_date.h"
#include "download/product_result.h"
#include "store/db_operate.h"
#include "store/price_history.h"
#include "store/write_locks.h"

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

namespace {

// The result's own faults, found before the database is touched.
bool resultReadable(const ProductResult& result, QString* error)
{
    switch (result.status) {
    case ProductResult::Status::Ok:
        return true;
    case ProductResult::Status::Empty:
        return fail(error, QStringLiteral("empty result"));
    case ProductResult::Status::NoStyle:
        return fail(error, QStringLiteral("no item type in the head line"));
    case ProductResult::Status::BadDate:
        return fail(
            error, QStringLiteral("unreadable date in line %1").arg(result.badDateLine + 1));
    }
    return true;
}

// The item page's figures: the product row, and the day's row of its price history.
bool writeHead(const db::Connection& conn, const QStringList& head, qint64 productId,
    const QDate& today, ImportCounts* counts, QString* error)
{
    if (!updateHead(*conn.database(), head, productId, today, error))
        return false;
    QElapsedTimer historyTime;
    historyTime.start();
    const bool recorded
        = store::RecordObservation(conn, productId, headObservation(head, today), error);
    if (counts)
        counts->historyNs += historyTime.nsecsElapsed();
    return recorded;
}

// On a server the buyer codes this import may add are locked, then looked up at once: those
// stored land in storedHere. On a file they are looked up one by one (storedHere stays
// empty).
bool lockBuyerCandidates(db::Database& db, const std::vector<SaleRecord>& fresh,
    const KnownBuyerCodes& known, std::optional<QSet<QString>>* storedHere, QString* error)
{
    if (!db.isServer())
        return true;
    QStringList candidates;
    QSet<QString> seen;
    for (const SaleRecord& r : fresh) {
        if (!r.buyerCode.isEmpty() && !known.addedHere(r.buyerCode)
            && !seen.contains(r.buyerCode)) {
            seen.insert(r.buyerCode);
            candidates << r.buyerCode;
        }
    }
    if (!store::LockBuyerCodes(db, candidates, error))
        return false;
    *storedHere = storedBuyerCodes(db, candidates, error);
    return storedHere->has_value();
}

// A product brings a few hundred records: one prepared statement bound per row keeps the
// import cheap on the user's thread. On a server every statement is a round trip: the trades
// go in rows of many at once, the last rows of a product in one statement of their own size.
bool writeTrades(
    db::Database& db, qint64 productId, const std::vector<SaleRecord>& fresh, QString* error)
{
    db::Statement insertSale = db.prepareCached(
        QStringLiteral("INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) VALUES(?,?,?,?,?,?)"),
        error);
    if (!insertSale)
        return false;
    std::size_t batched = 0;
    while (db.isServer() && batched < fresh.size()) {
        const std::size_t rows = std::min(kSalesPerServerInsert, fresh.size() - batched);
        db::Statement insertMany = db.prepareCached(salesInsert(rows), error);
        if (!insertMany)
            return false;
        for (std::size_t i = 0; i < rows; ++i)
            bindSale(insertMany, int(i) * 6, productId, fresh[batched + i]);
        if (!insertMany.send())
            return fail(error, insertMany.errorText());
        batched += rows;
    }
    for (std::size_t i = batched; i < fresh.size(); ++i) {
        insertSale.reset();
        bindSale(insertSale, 0, productId, fresh[i]);
        if (!insertSale.send())
            return fail(error, insertSale.errorText());
    }
    return true;
}

// The buyer codes of the trades that are neither stored nor added yet, in the order first
// seen.
QList<QByteArray> newBuyerCodes(const std::vector<SaleRecord>& fresh, const KnownBuyerCodes& known,
    const std::optional<QSet<QString>>& storedHere, QSet<QString>* newCodes)
{
    const auto isKnown = [&](const QString& code) {
        if (!storedHere)
            return known.contains(code);
        return known.addedHere(code) || storedHere->contains(code.toLower());
    };
    QList<QByteArray> codes;
    for (const SaleRecord& r : fresh) {
        if (!r.buyerCode.isEmpty() && !isKnown(r.buyerCode) && !newCodes->contains(r.buyerCode)) {
            newCodes->insert(r.buyerCode);
            codes << r.buyerCode.toUtf8();
        }
    }
    return codes;
}

// New buyer codes: one row per statement on a file, many on a server.
bool writeBuyerCodes(db::Database& db, const QList<QByteArray>& codes, QString* error)
{
    db::Statement insertCode
        = db.prepareCached(QStringLiteral("INSERT INTO 客户表(BCode) VALUES(?)"), error);
    if (!insertCode)
        return false;
    const qsizetype perStatement = db.isServer() ? qsizetype(kSalesPerServerInsert) : 1;
    for (qsizetype from = 0; from < codes.size(); from += perStatement) {
        const qsizetype rows = std::min(perStatement, codes.size() - from);
        db::Statement many;
        db::Statement* insert = &insertCode;
        if (rows > 1) {
            many = db.prepareCached(codesInsert(rows), error);
            if (!many)
                return false;
            insert = &many;
        }
        insert->reset();
        for (qsizetype i = 0; i < rows; ++i)
            insert->bindText(int(i) + 1, codes[from + i]);
        if (!insert->send())
            return fail(error, insert->errorText());
    }
    return true;
}

// The writes of one read result. What it stored is counted (and its new buyer codes kept)
// only once the caller knows the writes will stay.
struct Written
{
    long records = 0;
    QSet<QString> newCodes;
};

bool writeResult(const db::Connection& conn, qint64 productId, const ProductResult& result,
    const KnownBuyerCodes& known, Written* written, ImportCounts* counts, QString* error,
    const QDate& today)
{
    QString why;
    db::Database& db = *conn.database();
    if (!store::LockProduct(db, productId, &why))
        return fail(error, why);
    if (result.hasFullHead() && !writeHead(conn, result.head, productId, today, counts, &why))
        return fail(error, why);
    const std::optional<std::vector<StoredSale>> stored = storedSales(db, productId, &why);
    if (!stored)
        return fail(error, why);
    const std::vector<SaleRecord> fresh = SelectNewRecords(*stored, result.records);
    std::optional<QSet<QString>> storedHere;
    if (!lockBuyerCandidates(db, fresh, known, &storedHere, &why))
        return fail(error, why);
    if (!writeTrades(db, productId, fresh, &why))
        return fail(error, why);
    if (!writeBuyerCodes(db, newBuyerCodes(fresh, known, storedHere, &written->newCodes), &why))
        return fail(error, why);
    written->records = long(fresh.size());
    return true;
}

void keep(const Written& written, KnownBuyerCodes& known, ImportCounts* counts)
{
    for (const QString& code : std::as_const(written.newCodes))
        known.add(code);
    if (counts) {
        counts->records += written.records;
        counts->buyers += long(written.newCodes.size());
    }
}

} // namespace

std::optional<ProductResult> ReadProductResult(const QString& text, QString* error)
{
    ProductResult result = ParseProductResult(text);
    if (!resultReadable(result, error))
        return std::nullopt;
    return result;
}

bool WriteProductResult(const db::Connection& conn, qint64 productId, const ProductResult& result,
    KnownBuyerCodes& known, ImportCounts* counts, QString* error, const QDate& today)
{
    if (!conn.isOpen())
        return fail(error, QStringLiteral("no database connection"));
    Written written;
    if (!writeResult(conn, productId, result, known, &written, counts, error, today))
        return false;
    keep(written, known, counts);
    return true;
}

bool ImportProductResult(const db::Connection& conn, qint64 productId, const QString& text,
    KnownBuyerCodes& known, ImportCounts* counts, QString* error, const QDate& today)
{
    const std::optional<ProductResult> result = ReadProductResult(text, error);
    if (!result)
        return false;
    if (!conn.isOpen())
        return fail(error, QStringLiteral("no database connection"));
    db::Transaction tx = conn.transaction();
    if (!tx.isActive())
        return fail(error, QStringLiteral("cannot begin a transaction"));
    Written written;
    if (!writeResult(conn, productId, *result, known, &written, counts, error, today))
        return false;
    // On a server the writes were sent unanswered: a refusal among them shows here.
    QString why;
    if (!tx.commit(&why))
        return fail(error, QStringLiteral("commit failed: ") + why);
    // Only codes that are really stored count as known.
    keep(written, known, counts);
    return true;
}

} // namespace quel::download

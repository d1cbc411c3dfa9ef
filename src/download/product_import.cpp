#include "download/product_import.h"

#include "download/product_result.h"
#include "download/result_text.h"
#include "store/connection.h"
#include "store/database.h"
#include "store/db_operate.h"
#include "store/jet_date.h"
#include "store/price_history.h"
#include "store/recordset.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cmath>

namespace quel::download {

namespace {

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

QString headUpdate(const QStringList& f, qint64 productId, const QDate& today)
{
    return QStringLiteral("UPDATE 产品表 SET Num1=") + store::Quote(f[0]) + QStringLiteral(",Num9=")
        + store::Quote(f[1]) + QStringLiteral(",Style=") + store::Quote(f[3])
        + QStringLiteral(",VTimes=") + store::Quote(f[4]) + QStringLiteral(",CTimes=")
        + store::Quote(f[5]) + QStringLiteral(",SNum=") + store::Quote(f[2])
        + QStringLiteral(",dDat=") + store::Quote(ShortDateText(today)) + QStringLiteral(",Price=")
        + store::Quote(f[6]) + QStringLiteral(" WHERE ID=") + QString::number(productId);
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
bool lockProduct(store::Database& db, qint64 productId, QString* error)
{
    store::Statement st = db.prepareNativeCached(
        QStringLiteral("SELECT pg_advisory_xact_lock(?::int, ?::int)"), error);
    if (!st)
        return false;
    st.bindInt64(1, qint64(quint64(productId) >> 32));
    st.bindInt64(2, qint64(qint32(quint32(quint64(productId) & 0xffffffffu))));
    const bool ok = st.step() == store::StepResult::Row;
    if (!ok && error)
        *error = st.errorText();
    st.reset();
    return ok;
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
// meanwhile is then seen as known once its import commits, and is neither added twice nor
// refused.
bool lockBuyerCodes(store::Database& db, const QSet<QString>& codes, QString* error)
{
    std::vector<qint64> keys;
    keys.reserve(std::size_t(codes.size()));
    for (const QString& code : codes)
        keys.push_back(buyerCodeLockKey(code.toUtf8()));
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    store::Statement st
        = db.prepareNativeCached(QStringLiteral("SELECT pg_advisory_xact_lock(?::bigint)"), error);
    if (!st)
        return false;
    for (const qint64 key : keys) {
        st.reset();
        st.bindInt64(1, key);
        if (st.step() != store::StepResult::Row) {
            if (error)
                *error = st.errorText();
            st.reset();
            return false;
        }
    }
    st.reset();
    return true;
}

} // namespace

const QString kBuyerCodeLookup = QStringLiteral("SELECT 1 FROM 客户表 WHERE BCode=? LIMIT 1");

bool KnownBuyerCodes::load(const store::Connection& conn, QString* error)
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
    store::Statement lookup = m_db->prepareCached(kBuyerCodeLookup);
    if (!lookup)
        return false;
    lookup.bindText(1, code);
    return lookup.step() == store::StepResult::Row;
}

void KnownBuyerCodes::clear()
{
    m_db.reset();
    m_added.clear();
}

bool ImportProductResult(const store::Connection& conn, qint64 productId, const QString& text,
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

    store::Transaction tx = conn.transaction();
    if (!tx.isActive())
        return fail(error, QStringLiteral("cannot begin a transaction"));

    QString why;
    store::Database& db = *conn.database();
    const bool shared = db.isServer();
    if (shared && !lockProduct(db, productId, &why))
        return fail(error, why);
    if (result.hasFullHead()) {
        if (!conn.execute(headUpdate(result.head, productId, today), &why))
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

    store::Recordset rs;
    const QString select = QStringLiteral("SELECT Dat,Buyer FROM 交易表 WHERE PID=")
        + QString::number(productId) + QStringLiteral(" ORDER BY Dat DESC,Buyer DESC");
    if (!rs.open(conn.shared(), select, &why))
        return fail(error, why);
    std::vector<StoredSale> stored;
    stored.reserve(std::size_t(rs.recordCount()));
    for (; !rs.eof(); rs.moveNext())
        stored.push_back({ rs.value(0).toDateTime(), rs.value(1).toString() });
    rs.close();

    const std::vector<SaleRecord> fresh = SelectNewRecords(stored, result.records);
    if (shared) {
        QSet<QString> unknown;
        for (const SaleRecord& r : fresh) {
            if (!r.buyerCode.isEmpty() && !unknown.contains(r.buyerCode)
                && !known.contains(r.buyerCode))
                unknown.insert(r.buyerCode);
        }
        if (!lockBuyerCodes(db, unknown, &why))
            return fail(error, why);
    }
    // A product brings a few hundred records: one prepared statement each for the trades
    // and the new buyer codes, bound per row, keeps the import cheap on the user's thread.
    store::Statement insertSale = db.prepareCached(
        QStringLiteral("INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) VALUES(?,?,?,?,?,?)"),
        &why);
    store::Statement insertCode
        = db.prepareCached(QStringLiteral("INSERT INTO 客户表(BCode) VALUES(?)"), &why);
    if (!insertSale || !insertCode)
        return fail(error, why);
    QSet<QString> newCodes;
    for (const SaleRecord& r : fresh) {
        const QByteArray code = r.buyerCode.toUtf8();
        insertSale.reset();
        insertSale.bindInt64(1, productId);
        insertSale.bindText(2, code);
        insertSale.bindText(3, r.buyer);
        insertSale.bindText(4, store::canonicalDateText(r.time));
        insertSale.bindDouble(5, r.price);
        insertSale.bindInt64(6, r.quantity);
        if (!insertSale.run())
            return fail(error, insertSale.errorText());
        if (!r.buyerCode.isEmpty() && !known.contains(r.buyerCode)
            && !newCodes.contains(r.buyerCode)) {
            insertCode.reset();
            insertCode.bindText(1, code);
            if (!insertCode.run())
                return fail(error, insertCode.errorText());
            newCodes.insert(r.buyerCode);
        }
    }
    if (!tx.commit())
        return fail(error, QStringLiteral("commit failed"));
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

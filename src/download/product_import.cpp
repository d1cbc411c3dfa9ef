#include "download/product_import.h"

#include "download/product_result.h"
#include "download/result_text.h"
#include "store/connection.h"
#include "store/db_operate.h"
#include "store/recordset.h"

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

} // namespace

bool KnownBuyerCodes::load(const store::Connection& conn, QString* error)
{
    m_codes.clear();
    store::Recordset rs;
    if (!conn.isOpen()
        || !rs.open(conn.shared(), QStringLiteral("SELECT BCode FROM 客户表"), error))
        return false;
    for (; !rs.eof(); rs.moveNext()) {
        const QString code = rs.value(0).toString();
        if (!code.isEmpty())
            m_codes.insert(code);
    }
    return true;
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
    if (result.hasFullHead() && !conn.execute(headUpdate(result.head, productId, today), &why))
        return fail(error, why);

    store::Recordset rs;
    const QString select = QStringLiteral("SELECT * FROM 交易表 WHERE PID=")
        + QString::number(productId) + QStringLiteral(" ORDER BY Dat DESC,Buyer DESC");
    if (!rs.open(conn.shared(), select, &why))
        return fail(error, why);
    std::vector<StoredSale> stored;
    stored.reserve(std::size_t(rs.recordCount()));
    const int datIndex = rs.fieldIndex(QStringLiteral("Dat"));
    const int buyerIndex = rs.fieldIndex(QStringLiteral("Buyer"));
    for (; !rs.eof(); rs.moveNext())
        stored.push_back({ rs.value(datIndex).toDateTime(), rs.value(buyerIndex).toString() });

    const std::vector<SaleRecord> fresh = SelectNewRecords(stored, result.records);
    QSet<QString> newCodes;
    for (const SaleRecord& r : fresh) {
        const bool written = rs.addNew() && rs.setField(QStringLiteral("PID"), productId)
            && rs.setField(QStringLiteral("Buyer"), r.buyer)
            && rs.setField(QStringLiteral("BCode"), r.buyerCode)
            && rs.setField(QStringLiteral("Dat"), r.time)
            && rs.setField(QStringLiteral("Pri"), r.price)
            && rs.setField(QStringLiteral("Num"), r.quantity) && rs.update();
        if (!written)
            return fail(error, rs.lastError());
        if (!r.buyerCode.isEmpty() && !known.contains(r.buyerCode)
            && !newCodes.contains(r.buyerCode)) {
            if (!conn.execute(QStringLiteral("INSERT INTO 客户表(BCode) VALUES(")
                        + store::Quote(r.buyerCode) + QLatin1Char(')'),
                    &why))
                return fail(error, why);
            newCodes.insert(r.buyerCode);
        }
    }
    rs.close();
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

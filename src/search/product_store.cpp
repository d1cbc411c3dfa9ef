#include "search/product_store.h"

#include "core/clock.h"
#include "db/stored_date.h"
#include "store/db_operate.h"
#include "store/price_history.h"

#include <QElapsedTimer>

namespace quel::search {

namespace {

QString quoted(const QString& text)
{
    return store::Quote(text);
}

QString quoted(double value)
{
    return store::Quote(NumberText(value));
}

// The day a Dat text falls on; a Dat that is not a date (never written by the search
// itself) still is today's look.
QDate dayOf(const QString& dat)
{
    const std::optional<QDateTime> when = db::parseDateText(dat);
    return when ? when->date() : quel::core::Today();
}

store::ListedItem listedItem(const SearchedProduct& p)
{
    store::ListedItem item;
    item.pCode = p.pCode;
    item.price = p.price;
    if (p.num1Shown)
        item.num1 = p.num1;
    return item;
}

// Records what the result list showed of the products, on the day of the search.
bool recordListed(const db::Connection& conn, const QDate& day,
    const QList<store::ListedItem>& items, qint64* historyNs)
{
    QElapsedTimer timer;
    timer.start();
    const bool ok = store::RecordListedItems(conn, day, items);
    if (historyNs)
        *historyNs += timer.nsecsElapsed();
    return ok;
}

} // namespace

QString NumberText(double value)
{
    return QString::number(value, 'g', 15);
}

namespace {

// Stores the product row alone.
int saveProduct(store::DB_Operate& db, const db::Connection& conn, SearchedProduct p,
    const simplify::NameRuleSet& rules)
{
    p.shortName = rules.shortName(p.title);
    if (db.CountGroups(QStringLiteral("产品表"), QStringLiteral("PCode"),
            QStringLiteral(" PCode=") + store::Quote(p.pCode))
        == 0) {
        const QString sql
            = QStringLiteral("INSERT INTO 产品表(KWord,PCode,P_Name,PName,SCode,SName,Dat,Addr,"
                             "Price,VIP,MFee,PMode,Dis,Service,Return,Num1,Num9,Style,VTimes,"
                             "CTimes,SNum,dDat) VALUES( ")
            + store::QuoteValueList({ p.kWord, p.pCode, p.shortName, p.title, p.sCode, p.sName,
                p.dat, p.addr, NumberText(p.price), NumberText(p.vip), NumberText(p.mFee), p.pMode,
                NumberText(p.dis), p.service, p.returns, QString::number(p.num1),
                QString::number(p.num9), p.style, QString::number(p.vTimes),
                QString::number(p.cTimes), QString::number(p.sNum), QStringLiteral("1900-01-01") })
            + QStringLiteral(")");
        return db.ExecuteSql(sql, &conn) ? 1 : -1;
    }
    // A product found again keeps its seller and its detail-download date.
    const QString sql = QStringLiteral("UPDATE 产品表 SET KWord=") + quoted(p.kWord)
        + QStringLiteral(",PName=") + quoted(p.title) + QStringLiteral(",P_Name=")
        + quoted(p.shortName) + QStringLiteral(",Dat=") + quoted(p.dat) + QStringLiteral(",Addr=")
        + quoted(p.addr) + QStringLiteral(",Price=") + quoted(p.price) + QStringLiteral(",VIP=")
        + quoted(p.vip) + QStringLiteral(",MFee=") + quoted(p.mFee) + QStringLiteral(",PMode=")
        + quoted(p.pMode) + QStringLiteral(",Dis=") + quoted(p.dis) + QStringLiteral(",Service=")
        + quoted(p.service) + QStringLiteral(",Return=") + quoted(p.returns)
        + QStringLiteral(",Num1=") + quoted(p.num1) + QStringLiteral(",Num9=") + quoted(p.num9)
        + QStringLiteral(",Style=") + quoted(p.style) + QStringLiteral(",VTimes=")
        + quoted(p.vTimes) + QStringLiteral(",CTimes=") + quoted(p.cTimes)
        + QStringLiteral(",SNum=") + quoted(p.sNum) + QStringLiteral(" WHERE PCode=")
        + quoted(p.pCode);
    return db.ExecuteSql(sql, &conn) ? 0 : -1;
}

} // namespace

int SaveSearchedProduct(store::DB_Operate& db, const db::Connection& conn,
    const SearchedProduct& product, const simplify::NameRuleSet& rules, qint64* historyNs)
{
    const int result = saveProduct(db, conn, product, rules);
    if (result < 0 || !recordListed(conn, dayOf(product.dat), { listedItem(product) }, historyNs))
        return -1;
    return result;
}

int SaveSearchedPage(store::DB_Operate& db, const db::Connection& conn,
    const QList<SearchedProduct>& products, const simplify::NameRuleSet& rules, qint64* historyNs)
{
    db::Transaction transaction = conn.transaction();
    int inserted = 0;
    // The products of a page share the search's Dat; each different one is a day of its own.
    QList<std::pair<QDate, QList<store::ListedItem>>> days;
    QString dat;
    for (const SearchedProduct& product : products) {
        const int result = saveProduct(db, conn, product, rules);
        if (result < 0)
            return -1;
        inserted += result;
        if (days.isEmpty() || product.dat != dat) {
            dat = product.dat;
            const QDate day = dayOf(dat);
            if (days.isEmpty() || days.last().first != day)
                days.append({ day, {} });
        }
        days.last().second << listedItem(product);
    }
    for (const auto& [day, items] : days) {
        if (!recordListed(conn, day, items, historyNs))
            return -1;
    }
    return transaction.commit() ? inserted : -1;
}

} // namespace quel::search

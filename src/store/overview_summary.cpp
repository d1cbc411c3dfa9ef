// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/overview_summary.h"

#include "core/feedback.h"
#include "db/database.h"
#include "db/statement.h"
#include "store/kept_objects.h"

namespace quel::store {

namespace {

// The summary's statements are written for SQLite 3.15 (no upsert): a row is made with zero
// sums when it is missing, then added to. Its tables have no constraints to meet (see
// tableStatements), so a conflict clause of the statement that fired a trigger never changes
// what a trigger does. Names and provinces compare ignoring letter case, as the base tables'
// columns do.
//
// Whether a buyer has trades (in a category) is asked of 交易表 through its buyer index
// rather than kept: a buyer's few trades are read only when the buyer's profile was
// downloaded, so an import of new buyers' trades pays for the weeks alone.

const QString W = QString::fromUtf8(kOverviewWeeksTable);
const QString P = QString::fromUtf8(kOverviewProvincesTable);
const QString kPrefix = QStringLiteral("概览");

QString fill(QString text)
{
    return text.replace(QStringLiteral("$W"), W).replace(QStringLiteral("$P"), P);
}

// The category a trade's product gives it; '' without a product or without a category.
QString categoryOf(const QString& pid)
{
    return QStringLiteral("(IFNULL((SELECT KWord FROM 产品表 WHERE ID=%1),'') COLLATE NOCASE)")
        .arg(pid);
}

QString quantityOf(const QString& row)
{
    return QStringLiteral("CAST(IFNULL(%1.Num,0) AS INTEGER)").arg(row);
}

QString centsOf(const QString& row)
{
    return QStringLiteral("CAST(round(IFNULL(%1.Pri,0)*100) AS INTEGER)*").arg(row)
        + quantityOf(row);
}

QString provinceOf(const QString& row)
{
    return QStringLiteral("(IFNULL(%1.Prov,'') COLLATE NOCASE)").arg(row);
}

QString sign(bool add)
{
    return add ? QStringLiteral("+") : QStringLiteral("-");
}

// One trade (row NEW or OLD of 交易表) added to or taken from its week.
QStringList tradeWeek(const QString& row, bool add)
{
    const QString k = categoryOf(row + QStringLiteral(".PID"));
    const QString w = overviewWeekSql(row + QStringLiteral(".Dat"));
    QStringList body;
    if (add)
        body << QStringLiteral(
            "INSERT INTO $W(KWord,Week,Trades,Quantity,Cents) SELECT %1,%2,0,0,0 "
            "WHERE %2 IS NOT NULL AND NOT EXISTS (SELECT 1 FROM $W WHERE "
            "KWord=%1 AND Week=%2)")
                    .arg(k, w);
    body << QStringLiteral("UPDATE $W SET Trades=Trades%3 1,Quantity=Quantity%3%4,Cents=Cents%3%5 "
                           "WHERE KWord=%1 AND Week=%2")
                .arg(k, w, sign(add), quantityOf(row), centsOf(row));
    if (!add)
        body << QStringLiteral("DELETE FROM $W WHERE KWord=%1 AND Week=%2 AND Trades<=0").arg(k, w);
    return body;
}

// The profiled 客户表 rows of the buyer code `code` counted in or out of (scope, category).
QStringList buyerInScope(
    const QString& code, const QString& scope, const QString& category, bool add)
{
    const QString profiles
        = QStringLiteral("FROM 客户表 k WHERE k.BCode=%1 AND k.BName<>''").arg(code);
    const QString key = QStringLiteral("Scope=%1 AND KWord=%2").arg(scope, category);
    QStringList body;
    if (add)
        body << QStringLiteral("INSERT INTO $P(Scope,KWord,Prov,Buyers) SELECT DISTINCT %1,%2,%3,0 "
                               "%4 AND NOT EXISTS (SELECT 1 FROM $P p WHERE p.Scope=%1 AND "
                               "p.KWord=%2 AND p.Prov=%3)")
                    .arg(scope, category, provinceOf(QStringLiteral("k")), profiles);
    body << QStringLiteral("UPDATE $P SET Buyers=Buyers%1(SELECT COUNT(*) %2 AND $P.Prov=%3) "
                           "WHERE %4 AND Prov IN (SELECT %3 %2)")
                .arg(sign(add), profiles, provinceOf(QStringLiteral("k")), key);
    if (!add)
        body << QStringLiteral("DELETE FROM $P WHERE %1 AND Buyers<=0").arg(key);
    return body;
}

// A trade row's buyer has no other trade (in the row's category).
QString onlyTrade(const QString& row, bool inCategory)
{
    QString sql = QStringLiteral("NOT EXISTS (SELECT 1 FROM 交易表 t WHERE t.BCode=%1.BCode AND "
                                 "t.ID<>%1.ID")
                      .arg(row);
    if (inCategory)
        sql += QStringLiteral(" AND %1=%2")
                   .arg(categoryOf(QStringLiteral("t.PID")),
                       categoryOf(row + QStringLiteral(".PID")));
    return sql + u')';
}

QString profiledBuyer(const QString& row)
{
    return QStringLiteral("%1.BCode<>'' AND EXISTS (SELECT 1 FROM 客户表 WHERE BCode=%1.BCode "
                          "AND BName<>'')")
        .arg(row);
}

// A product's trades moved from category `from` to `to` (its insertion, deletion or change
// of category), after the move: the weeks, then the profiled buyers who have no trade left in
// `from` and those who had none in `to` before.
QStringList productMove(const QString& pid, const QString& from, const QString& to)
{
    const QString w = overviewWeekSql(QStringLiteral("t.Dat"));
    const QString mine = QStringLiteral("FROM 交易表 t WHERE t.PID=%1").arg(pid);
    QStringList body;
    body << QStringLiteral("INSERT INTO $W(KWord,Week,Trades,Quantity,Cents) SELECT DISTINCT %1,"
                           "%2,0,0,0 %3 AND %2 IS NOT NULL AND NOT EXISTS (SELECT 1 FROM $W s "
                           "WHERE s.KWord=%1 AND s.Week=%2)")
                .arg(to, w, mine);
    for (const auto& [category, add] : { std::pair { to, true }, std::pair { from, false } }) {
        const QString thisWeek = mine + QStringLiteral(" AND %1=$W.Week").arg(w);
        body << QStringLiteral("UPDATE $W SET Trades=Trades%2(SELECT COUNT(*) %3),"
                               "Quantity=Quantity%2(SELECT IFNULL(SUM(%4),0) %3),"
                               "Cents=Cents%2(SELECT IFNULL(SUM(%5),0) %3) "
                               "WHERE KWord=%1 AND Week IN (SELECT %6 %7)")
                    .arg(category, sign(add), thisWeek, quantityOf(QStringLiteral("t")),
                        centsOf(QStringLiteral("t")), w, mine);
    }
    body << QStringLiteral("DELETE FROM $W WHERE KWord=%1 AND Trades<=0").arg(from);

    // The product's profiled buyers: gone from `from` when no other product of it is theirs,
    // new in `to` when no other product of it was.
    const QString moved = QStringLiteral("FROM 客户表 k WHERE k.BName<>'' AND k.BCode IN (SELECT "
                                         "BCode FROM 交易表 WHERE PID=%1 AND BCode<>'')")
                              .arg(pid);
    const QString noneElsewhere = QStringLiteral(" AND NOT EXISTS (SELECT 1 FROM 交易表 o WHERE "
                                                 "o.BCode=k.BCode AND o.PID IS NOT %1 AND %2=%3)")
                                      .arg(pid, categoryOf(QStringLiteral("o.PID")));
    const QString prov = provinceOf(QStringLiteral("k"));
    body << QStringLiteral("INSERT INTO $P(Scope,KWord,Prov,Buyers) SELECT DISTINCT 1,%1,%2,0 %3%4 "
                           "AND NOT EXISTS (SELECT 1 FROM $P p WHERE p.Scope=1 AND p.KWord=%1 AND "
                           "p.Prov=%2)")
                .arg(to, prov, moved, noneElsewhere.arg(to));
    for (const auto& [category, add] : { std::pair { to, true }, std::pair { from, false } })
        body << QStringLiteral("UPDATE $P SET Buyers=Buyers%1(SELECT COUNT(*) %2%3 AND $P.Prov=%4) "
                               "WHERE Scope=1 AND KWord=%5")
                    .arg(sign(add), moved, noneElsewhere.arg(category), prov, category);
    body << QStringLiteral("DELETE FROM $P WHERE Scope=1 AND KWord=%1 AND Buyers<=0").arg(from);
    return body;
}

// A profiled 客户表 row (NEW or OLD) counted in or out of all products and of every category
// its buyer has trades in.
QStringList profileProvinces(const QString& row, bool add)
{
    const QString prov = provinceOf(row);
    const QString categories = QStringLiteral("SELECT %1 AS K FROM 交易表 t WHERE t.BCode=%2.BCode")
                                   .arg(categoryOf(QStringLiteral("t.PID")), row);
    const QString anyTrade
        = QStringLiteral("EXISTS (SELECT 1 FROM 交易表 WHERE BCode=%1.BCode)").arg(row);
    const QString all
        = QStringLiteral("Scope=0 AND KWord='' AND Prov=%1 AND %2").arg(prov, anyTrade);
    const QString each
        = QStringLiteral("Scope=1 AND Prov=%1 AND KWord IN (%2)").arg(prov, categories);
    QStringList body;
    if (add)
        body << QStringLiteral("INSERT INTO $P(Scope,KWord,Prov,Buyers) SELECT 0,'',%1,0 WHERE %2 "
                               "AND NOT EXISTS (SELECT 1 FROM $P WHERE Scope=0 AND KWord='' AND "
                               "Prov=%1)")
                    .arg(prov, anyTrade)
             << QStringLiteral("INSERT INTO $P(Scope,KWord,Prov,Buyers) SELECT DISTINCT 1,c.K "
                               "COLLATE NOCASE,%1,0 FROM (%2) AS c WHERE NOT EXISTS (SELECT 1 FROM "
                               "$P p WHERE p.Scope=1 AND p.KWord=c.K AND p.Prov=%1)")
                    .arg(prov, categories);
    for (const QString& key : { all, each }) {
        body << QStringLiteral("UPDATE $P SET Buyers=Buyers%1 1 WHERE %2").arg(sign(add), key);
        if (!add)
            body << QStringLiteral("DELETE FROM $P WHERE %1 AND Buyers<=0").arg(key);
    }
    return body;
}

QString trigger(const QString& name, const QString& event, const QStringList& body)
{
    return QStringLiteral("CREATE TRIGGER %1 %2 BEGIN %3; END")
        .arg(name, event, body.join(QStringLiteral("; ")));
}

// The rows a trigger sees.
const QString NEW = QStringLiteral("NEW");
const QString OLD = QStringLiteral("OLD");
const QString kKWordOld = QStringLiteral("(IFNULL(OLD.KWord,'') COLLATE NOCASE)");
const QString kKWordNew = QStringLiteral("(IFNULL(NEW.KWord,'') COLLATE NOCASE)");
const QString kNoCategory = QStringLiteral("''");
const QString kProfileChanged
    = QStringLiteral("(NEW.BCode IS NOT OLD.BCode OR IFNULL(NEW.Prov,'')<>IFNULL(OLD.Prov,'') OR "
                     "IFNULL(NEW.BName,'')='' OR IFNULL(OLD.BName,'')='')");
const QString kBuyerMoved
    = QStringLiteral("(NEW.BCode IS NOT OLD.BCode OR NEW.PID IS NOT OLD.PID)");

// Plain tables with plain indexes: no statement of a trigger may fail on a constraint, for
// then every insert of a trade would need a statement journal (and SQLCipher encrypts each
// page copied into it), which made an import twice as slow. The triggers keep the keys
// unique themselves.
QStringList tableStatements()
{
    return {
        QStringLiteral("CREATE TABLE $W (KWord TEXT COLLATE NOCASE, Week INTEGER, Trades INTEGER, "
                       "Quantity INTEGER, Cents INTEGER)"),
        QStringLiteral("CREATE INDEX $W_键 ON $W (KWord, Week)"),
        QStringLiteral("CREATE TABLE $P (Scope INTEGER, KWord TEXT COLLATE NOCASE, Prov TEXT "
                       "COLLATE NOCASE, Buyers INTEGER)"),
        QStringLiteral("CREATE INDEX $P_键 ON $P (Scope, KWord, Prov)"),
    };
}

QStringList tradeBuyerTriggers()
{
    QStringList triggers;
    for (const bool inCategory : { false, true }) {
        const QString tag = inCategory ? QStringLiteral("类别") : QStringLiteral("全部");
        const QString scope = inCategory ? QStringLiteral("1") : QStringLiteral("0");
        const auto category = [inCategory](const QString& row) {
            return inCategory ? categoryOf(row + QStringLiteral(".PID")) : kNoCategory;
        };
        const auto when = [inCategory](const QString& row) {
            return profiledBuyer(row) + QStringLiteral(" AND ") + onlyTrade(row, inCategory);
        };
        triggers << trigger(QStringLiteral("概览_交易_新增_%1").arg(tag),
            QStringLiteral("AFTER INSERT ON 交易表 WHEN %1").arg(when(NEW)),
            buyerInScope(QStringLiteral("NEW.BCode"), scope, category(NEW), true));
        triggers << trigger(QStringLiteral("概览_交易_删除_%1").arg(tag),
            QStringLiteral("AFTER DELETE ON 交易表 WHEN %1").arg(when(OLD)),
            buyerInScope(QStringLiteral("OLD.BCode"), scope, category(OLD), false));
        // A trade given another buyer or product: out as if deleted before, in as if
        // inserted after.
        const QString moved
            = inCategory ? kBuyerMoved : QStringLiteral("NEW.BCode IS NOT OLD.BCode");
        triggers << trigger(QStringLiteral("概览_交易_改前_%1").arg(tag),
            QStringLiteral("BEFORE UPDATE OF PID,BCode ON 交易表 WHEN %1 AND %2")
                .arg(moved, when(OLD)),
            buyerInScope(QStringLiteral("OLD.BCode"), scope, category(OLD), false));
        triggers << trigger(QStringLiteral("概览_交易_改后_%1").arg(tag),
            QStringLiteral("AFTER UPDATE OF PID,BCode ON 交易表 WHEN %1 AND %2")
                .arg(moved, when(NEW)),
            buyerInScope(QStringLiteral("NEW.BCode"), scope, category(NEW), true));
    }
    return triggers;
}

QStringList triggerStatements()
{
    const QString hasTrades = QStringLiteral("EXISTS (SELECT 1 FROM 交易表 WHERE PID=%1.ID)");
    return QStringList {
        trigger(QStringLiteral("概览_交易_新增"), QStringLiteral("AFTER INSERT ON 交易表"),
            tradeWeek(NEW, true)),
        trigger(QStringLiteral("概览_交易_删除"), QStringLiteral("AFTER DELETE ON 交易表"),
            tradeWeek(OLD, false)),
        trigger(QStringLiteral("概览_交易_修改"),
            QStringLiteral("AFTER UPDATE OF PID,Dat,Pri,Num ON 交易表"),
            tradeWeek(OLD, false) + tradeWeek(NEW, true)),
        // A product's ID never changes; its category does.
        trigger(QStringLiteral("概览_产品_新增"),
            QStringLiteral("AFTER INSERT ON 产品表 WHEN %1<>'' AND %2")
                .arg(kKWordNew, hasTrades.arg(NEW)),
            productMove(QStringLiteral("NEW.ID"), kNoCategory, kKWordNew)),
        trigger(QStringLiteral("概览_产品_删除"),
            QStringLiteral("AFTER DELETE ON 产品表 WHEN %1<>'' AND %2")
                .arg(kKWordOld, hasTrades.arg(OLD)),
            productMove(QStringLiteral("OLD.ID"), kKWordOld, kNoCategory)),
        trigger(QStringLiteral("概览_产品_类别"),
            QStringLiteral("AFTER UPDATE OF KWord ON 产品表 WHEN %1<>%2 AND %3")
                .arg(kKWordOld, kKWordNew, hasTrades.arg(NEW)),
            productMove(QStringLiteral("NEW.ID"), kKWordOld, kKWordNew)),
        trigger(QStringLiteral("概览_客户_新增"),
            QStringLiteral(
                "AFTER INSERT ON 客户表 WHEN IFNULL(NEW.BName,'')<>'' AND NEW.BCode<>''"),
            profileProvinces(NEW, true)),
        trigger(QStringLiteral("概览_客户_删除"),
            QStringLiteral(
                "AFTER DELETE ON 客户表 WHEN IFNULL(OLD.BName,'')<>'' AND OLD.BCode<>''"),
            profileProvinces(OLD, false)),
        // A profile downloaded again with the same name and province changes no count.
        trigger(QStringLiteral("概览_客户_修改前"),
            QStringLiteral(
                "AFTER UPDATE OF BCode,BName,Prov ON 客户表 WHEN IFNULL(OLD.BName,'')<>'' "
                "AND OLD.BCode<>'' AND %1")
                .arg(kProfileChanged),
            profileProvinces(OLD, false)),
        trigger(QStringLiteral("概览_客户_修改后"),
            QStringLiteral(
                "AFTER UPDATE OF BCode,BName,Prov ON 客户表 WHEN IFNULL(NEW.BName,'')<>'' "
                "AND NEW.BCode<>'' AND %1")
                .arg(kProfileChanged),
            profileProvinces(NEW, true)),
    }
    + tradeBuyerTriggers();
}

// The summary computed from the base tables, a category at a time so that the progress
// window moves while a year of trades is read. "?1" is the category; the products without one
// and the trades without a product are summed last, under ''.
const QString kUncategorised = QStringLiteral(
    "(t.PID IS NULL OR t.PID NOT IN (SELECT ID FROM 产品表 WHERE IFNULL(KWord,'')<>''))");

QString categoryWeeksFill(bool uncategorised)
{
    const QString from = uncategorised
        ? QStringLiteral("FROM 交易表 t WHERE ") + kUncategorised
        : QStringLiteral("FROM 产品表 p JOIN 交易表 t ON t.PID=p.ID WHERE p.KWord=?1");
    return QStringLiteral("INSERT INTO $W(KWord,Week,Trades,Quantity,Cents) SELECT ?1,Wk,COUNT(*),"
                          "SUM(Q),SUM(C) FROM (SELECT %1 AS Wk,%2 AS Q,%3 AS C %4) WHERE Wk IS NOT "
                          "NULL GROUP BY Wk")
        .arg(overviewWeekSql(QStringLiteral("t.Dat")), quantityOf(QStringLiteral("t")),
            centsOf(QStringLiteral("t")), from);
}

QString categoryBuyersFill(bool uncategorised)
{
    const QString from = uncategorised
        ? QStringLiteral("FROM 交易表 t JOIN 客户表 k ON k.BCode=t.BCode WHERE ") + kUncategorised
        : QStringLiteral("FROM 产品表 p JOIN 交易表 t ON t.PID=p.ID JOIN 客户表 k ON "
                         "k.BCode=t.BCode WHERE p.KWord=?1");
    return QStringLiteral("INSERT INTO $P(Scope,KWord,Prov,Buyers) SELECT 1,?1,Pv,COUNT(*) FROM "
                          "(SELECT DISTINCT k.ID,%1 AS Pv %2 AND t.BCode<>'' AND k.BName<>'') "
                          "GROUP BY Pv")
        .arg(provinceOf(QStringLiteral("k")), from);
}

QString allBuyersFill()
{
    return QStringLiteral("INSERT INTO $P(Scope,KWord,Prov,Buyers) SELECT 0,'',%1,COUNT(*) FROM "
                          "客户表 k WHERE k.BName<>'' AND k.BCode<>'' AND EXISTS (SELECT 1 FROM "
                          "交易表 t WHERE t.BCode=k.BCode) GROUP BY %1")
        .arg(provinceOf(QStringLiteral("k")));
}

// The categories of the products, each once however its letters are cased.
QStringList storedCategories(db::Database& db)
{
    QStringList categories;
    db::Statement stmt = db.prepareNative(QStringLiteral(
        "SELECT KWord FROM 产品表 WHERE IFNULL(KWord,'')<>'' GROUP BY KWord COLLATE NOCASE"));
    while (stmt && stmt.step() == db::StepResult::Row)
        categories << stmt.text(0);
    return categories;
}

bool run(db::Database& db, const QString& sql, QString* error)
{
    return RunNative(db, fill(sql), error);
}

// One fill statement for one category.
bool runFor(db::Database& db, const QString& sql, const QString& category, QString* error)
{
    QString why;
    db::Statement stmt = db.prepareNative(fill(sql), &why);
    if (stmt) {
        stmt.bindText(1, category);
        if (stmt.step() == db::StepResult::Done)
            return true;
        why = stmt.errorText();
    }
    if (error)
        *error = why;
    return false;
}

} // namespace

QString overviewWeekSql(const QString& column)
{
    // The day's number turned back into a date gives the text's first ten characters only for
    // a real day (2026-02-30 comes back as March 2); Julian day 0 was a Monday.
    return QStringLiteral("(CASE WHEN date(julianday(substr(%1,1,10)))=substr(%1,1,10) THEN "
                          "CAST(julianday(substr(%1,1,10))+0.5 AS INTEGER)/7*7 END)")
        .arg(column);
}

QStringList overviewSummaryStatements()
{
    // Asked on every open: written out once.
    static const QStringList statements = [] {
        QStringList all;
        for (const QString& statement : tableStatements() + triggerStatements())
            all << fill(statement);
        return all;
    }();
    return statements;
}

bool HasOverviewSummary(db::Database& db)
{
    if (db.isServer())
        return false;
    // Any table, index or trigger of an earlier layout makes it another summary.
    return StoredAsWritten(StoredObjects(db, kPrefix), overviewSummaryStatements());
}

bool DropOverviewSummary(db::Database& db, QString* error)
{
    return DropKeptObjects(db, kPrefix, error);
}

int OverviewSummarySteps(db::Database& db)
{
    return db.isServer() ? 0 : static_cast<int>(storedCategories(db).size()) + 2;
}

bool RebuildOverviewSummary(db::Database& db, QString* error, core::Feedback* feedback)
{
    if (db.isServer())
        return true;
    // Closing the window stops at the next step; the summary is made on another open.
    return InSavepoint(db, QStringLiteral("overview"), error, [&] {
        bool ok = DropKeptObjects(db, kPrefix, error);
        for (const QString& statement : tableStatements())
            ok = ok && run(db, statement, error);
        ok = ok && run(db, allBuyersFill(), error) && StepUnlessClosed(feedback, error);
        for (const QString& category : storedCategories(db)) {
            ok = ok && runFor(db, categoryWeeksFill(false), category, error)
                && runFor(db, categoryBuyersFill(false), category, error)
                && StepUnlessClosed(feedback, error);
        }
        ok = ok && runFor(db, categoryWeeksFill(true), QString(), error)
            && runFor(db, categoryBuyersFill(true), QString(), error)
            && StepUnlessClosed(feedback, error);
        for (const QString& statement : triggerStatements())
            ok = ok && run(db, statement, error);
        return ok;
    });
}

} // namespace quel::store

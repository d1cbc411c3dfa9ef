// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/overview_summary.h"

#include "core/feedback.h"
#include "db/database.h"
#include "db/statement.h"

namespace quel::store {

namespace {

// The summary's statements are written for SQLite 3.15 (no upsert): a row is made with zero
// sums when it is missing, then added to. No statement here can meet a uniqueness conflict,
// so a conflict clause of the statement that fired a trigger never changes what it does.

const QString W = QString::fromUtf8(kOverviewWeeksTable);
const QString B = QString::fromUtf8(kOverviewBuyersTable);
const QString P = QString::fromUtf8(kOverviewProvincesTable);

QString fill(QString text)
{
    return text.replace(QStringLiteral("$W"), W)
        .replace(QStringLiteral("$B"), B)
        .replace(QStringLiteral("$P"), P);
}

// The category a trade's product gives it; '' without a product or without a category.
QString categoryOf(const QString& pid)
{
    return QStringLiteral("IFNULL((SELECT KWord FROM 产品表 WHERE ID=%1),'')").arg(pid);
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

// One trade (row NEW or OLD of 交易表) added to or taken from its week and its buyer's rows.
QStringList tradeWeek(const QString& row, bool add)
{
    const QString k = categoryOf(row + QStringLiteral(".PID"));
    const QString w = overviewWeekSql(row + QStringLiteral(".Dat"));
    const QString sign = add ? QStringLiteral("+") : QStringLiteral("-");
    QStringList body;
    if (add)
        body << QStringLiteral(
            "INSERT INTO $W(KWord,Week,Trades,Quantity,Cents) SELECT %1,%2,0,0,0 "
            "WHERE %2 IS NOT NULL AND NOT EXISTS (SELECT 1 FROM $W WHERE "
            "KWord=%1 AND Week=%2)")
                    .arg(k, w);
    body << QStringLiteral("UPDATE $W SET Trades=Trades%3 1,Quantity=Quantity%3%4,Cents=Cents%3%5 "
                           "WHERE KWord=%1 AND Week=%2")
                .arg(k, w, sign, quantityOf(row), centsOf(row));
    if (!add)
        body << QStringLiteral("DELETE FROM $W WHERE KWord=%1 AND Week=%2 AND Trades<=0").arg(k, w);
    return body;
}

QStringList tradeBuyer(const QString& row, bool add)
{
    const QString code = row + QStringLiteral(".BCode");
    const QString k = categoryOf(row + QStringLiteral(".PID"));
    QStringList body;
    const QString scopes[2][2]
        = { { QStringLiteral("0"), QStringLiteral("''") }, { QStringLiteral("1"), k } };
    for (const auto& [scope, category] : scopes) {
        if (add)
            body << QStringLiteral("INSERT INTO $B(BCode,Scope,KWord,Trades) SELECT %1,%2,%3,0 "
                                   "WHERE %1<>'' AND NOT EXISTS (SELECT 1 FROM $B WHERE BCode=%1 "
                                   "AND Scope=%2 AND KWord=%3)")
                        .arg(code, scope, category);
        body << QStringLiteral("UPDATE $B SET Trades=Trades%4 1 WHERE BCode=%1 AND Scope=%2 AND "
                               "KWord=%3")
                    .arg(code, scope, category, add ? QStringLiteral("+") : QStringLiteral("-"));
    }
    if (!add)
        body << QStringLiteral("DELETE FROM $B WHERE BCode=%1 AND Trades<=0").arg(code);
    return body;
}

// A product's trades moved from category `from` to `to` (its insertion, deletion or change
// of category). Scope 0 does not depend on the category.
QStringList productMove(const QString& pid, const QString& from, const QString& to)
{
    const QString w = overviewWeekSql(QStringLiteral("t.Dat"));
    const QString mine = QStringLiteral("FROM 交易表 t WHERE t.PID=%1").arg(pid);
    QStringList body;
    body << QStringLiteral("INSERT INTO $W(KWord,Week,Trades,Quantity,Cents) SELECT DISTINCT %1,"
                           "%2,0,0,0 %3 AND %2 IS NOT NULL AND NOT EXISTS (SELECT 1 FROM $W s "
                           "WHERE s.KWord=%1 AND s.Week=%2)")
                .arg(to, w, mine);
    for (const auto& [category, sign] :
        { std::pair { to, QStringLiteral("+") }, std::pair { from, QStringLiteral("-") } }) {
        const QString thisWeek = mine + QStringLiteral(" AND %1=$W.Week").arg(w);
        body << QStringLiteral("UPDATE $W SET Trades=Trades%2(SELECT COUNT(*) %3),"
                               "Quantity=Quantity%2(SELECT IFNULL(SUM(%4),0) %3),"
                               "Cents=Cents%2(SELECT IFNULL(SUM(%5),0) %3) "
                               "WHERE KWord=%1 AND Week IN (SELECT %6 %7)")
                    .arg(category, sign, thisWeek, quantityOf(QStringLiteral("t")),
                        centsOf(QStringLiteral("t")), w, mine);
    }
    body << QStringLiteral("DELETE FROM $W WHERE KWord=%1 AND Trades<=0").arg(from);

    // A buyer's trades of this product, found from the buyer's side of 交易表 (the "+"
    // keeps the engine off the product index, which would read all of the product's trades
    // for every buyer).
    const QString buyers
        = QStringLiteral("BCode IN (SELECT BCode FROM 交易表 WHERE PID=%1 AND BCode<>'')").arg(pid);
    body << QStringLiteral(
        "INSERT INTO $B(BCode,Scope,KWord,Trades) SELECT DISTINCT t.BCode,1,%1,0 "
        "%2 AND t.BCode<>'' AND NOT EXISTS (SELECT 1 FROM $B b WHERE "
        "b.BCode=t.BCode AND b.Scope=1 AND b.KWord=%1)")
                .arg(to, mine);
    for (const auto& [category, sign] :
        { std::pair { to, QStringLiteral("+") }, std::pair { from, QStringLiteral("-") } })
        body << QStringLiteral("UPDATE $B SET Trades=Trades%2(SELECT COUNT(*) FROM 交易表 t WHERE "
                               "t.BCode=$B.BCode AND +t.PID=%3) WHERE %4 AND Scope=1 AND KWord=%1")
                    .arg(category, sign, pid, buyers);
    body << QStringLiteral("DELETE FROM $B WHERE %1 AND Scope=1 AND KWord=%2 AND Trades<=0")
                .arg(buyers, from);
    return body;
}

// A buyer row of the summary made or removed: its profiled 客户表 rows counted in or out.
QStringList buyerProvinces(const QString& row, bool add)
{
    const QString profiles
        = QStringLiteral("FROM 客户表 k WHERE k.BCode=%1.BCode AND k.BName<>''").arg(row);
    const QString mine = QStringLiteral("Scope=%1.Scope AND KWord=%1.KWord").arg(row);
    QStringList body;
    if (add)
        body << QStringLiteral("INSERT INTO $P(Scope,KWord,Prov,Buyers) SELECT DISTINCT "
                               "%1.Scope,%1.KWord,IFNULL(k.Prov,''),0 %2 AND NOT EXISTS (SELECT 1 "
                               "FROM $P p WHERE p.Scope=%1.Scope AND p.KWord=%1.KWord AND "
                               "p.Prov=IFNULL(k.Prov,''))")
                    .arg(row, profiles);
    body << QStringLiteral("UPDATE $P SET Buyers=Buyers%1(SELECT COUNT(*) %2 AND "
                           "IFNULL(k.Prov,'')=$P.Prov) WHERE %3 AND Prov IN (SELECT "
                           "IFNULL(k.Prov,'') %2)")
                .arg(add ? QStringLiteral("+") : QStringLiteral("-"), profiles, mine);
    if (!add)
        body << QStringLiteral("DELETE FROM $P WHERE %1 AND Buyers<=0").arg(mine);
    return body;
}

// A profiled 客户表 row (NEW or OLD) counted in or out of every scope its buyer has trades in.
QStringList profileProvinces(const QString& row, bool add)
{
    const QString prov = QStringLiteral("IFNULL(%1.Prov,'')").arg(row);
    // Looked up through the key: the buyer's few categories, then the province.
    const QString scopes = QStringLiteral(
        "Scope IN (0,1) AND KWord IN (SELECT KWord FROM $B WHERE BCode=%1.BCode) AND Prov=%2 "
        "AND EXISTS (SELECT 1 FROM $B b WHERE b.BCode=%1.BCode AND b.Scope=$P.Scope AND "
        "b.KWord=$P.KWord)")
                               .arg(row, prov);
    QStringList body;
    if (add)
        body << QStringLiteral(
            "INSERT INTO $P(Scope,KWord,Prov,Buyers) SELECT b.Scope,b.KWord,%2,0 "
            "FROM $B b WHERE b.BCode=%1.BCode AND NOT EXISTS (SELECT 1 FROM $P "
            "p WHERE p.Scope=b.Scope AND p.KWord=b.KWord AND p.Prov=%2)")
                    .arg(row, prov);
    body << QStringLiteral("UPDATE $P SET Buyers=Buyers%1 1 WHERE %2")
                .arg(add ? QStringLiteral("+") : QStringLiteral("-"), scopes);
    if (!add)
        body << QStringLiteral("DELETE FROM $P WHERE %1 AND Buyers<=0").arg(scopes);
    return body;
}

QString trigger(const QString& name, const QString& event, const QStringList& body)
{
    return QStringLiteral("CREATE TRIGGER %1 AFTER %2 BEGIN %3; END")
        .arg(name, event, body.join(QStringLiteral("; ")));
}

const QString kKWordOld = QStringLiteral("IFNULL(OLD.KWord,'')");
const QString kKWordNew = QStringLiteral("IFNULL(NEW.KWord,'')");
const QString kProfileChanged
    = QStringLiteral("(NEW.BCode IS NOT OLD.BCode OR IFNULL(NEW.Prov,'')<>IFNULL(OLD.Prov,'') OR "
                     "IFNULL(NEW.BName,'')='' OR IFNULL(OLD.BName,'')='')");

QStringList tableStatements()
{
    return {
        QStringLiteral("CREATE TABLE $W (KWord TEXT NOT NULL, Week INTEGER NOT NULL, Trades "
                       "INTEGER NOT NULL, Quantity INTEGER NOT NULL, Cents INTEGER NOT NULL, "
                       "PRIMARY KEY (KWord, Week)) WITHOUT ROWID"),
        QStringLiteral("CREATE TABLE $B (BCode TEXT NOT NULL, Scope INTEGER NOT NULL, KWord TEXT "
                       "NOT NULL, Trades INTEGER NOT NULL, PRIMARY KEY (BCode, Scope, KWord)) "
                       "WITHOUT ROWID"),
        QStringLiteral("CREATE TABLE $P (Scope INTEGER NOT NULL, KWord TEXT NOT NULL, Prov TEXT "
                       "NOT NULL, Buyers INTEGER NOT NULL, PRIMARY KEY (Scope, KWord, Prov)) "
                       "WITHOUT ROWID"),
    };
}

QStringList triggerStatements()
{
    const QString hasTrades = QStringLiteral("EXISTS (SELECT 1 FROM 交易表 WHERE PID=%1.ID)");
    return {
        trigger(QStringLiteral("概览_交易_新增"), QStringLiteral("INSERT ON 交易表"),
            tradeWeek(QStringLiteral("NEW"), true) + tradeBuyer(QStringLiteral("NEW"), true)),
        trigger(QStringLiteral("概览_交易_删除"), QStringLiteral("DELETE ON 交易表"),
            tradeWeek(QStringLiteral("OLD"), false) + tradeBuyer(QStringLiteral("OLD"), false)),
        trigger(QStringLiteral("概览_交易_修改"),
            QStringLiteral("UPDATE OF PID,BCode,Dat,Pri,Num ON 交易表"),
            tradeWeek(QStringLiteral("OLD"), false) + tradeBuyer(QStringLiteral("OLD"), false)
                + tradeWeek(QStringLiteral("NEW"), true) + tradeBuyer(QStringLiteral("NEW"), true)),
        // A product's ID never changes; its category does.
        trigger(QStringLiteral("概览_产品_新增"),
            QStringLiteral("INSERT ON 产品表 WHEN %1<>'' AND %2")
                .arg(kKWordNew, hasTrades.arg("NEW")),
            productMove(QStringLiteral("NEW.ID"), QStringLiteral("''"), kKWordNew)),
        trigger(QStringLiteral("概览_产品_删除"),
            QStringLiteral("DELETE ON 产品表 WHEN %1<>'' AND %2")
                .arg(kKWordOld, hasTrades.arg("OLD")),
            productMove(QStringLiteral("OLD.ID"), kKWordOld, QStringLiteral("''"))),
        trigger(QStringLiteral("概览_产品_类别"),
            QStringLiteral("UPDATE OF KWord ON 产品表 WHEN %1<>%2 AND %3")
                .arg(kKWordOld, kKWordNew, hasTrades.arg("NEW")),
            productMove(QStringLiteral("NEW.ID"), kKWordOld, kKWordNew)),
        trigger(QStringLiteral("概览_买家_新增"), QStringLiteral("INSERT ON $B"),
            buyerProvinces(QStringLiteral("NEW"), true)),
        trigger(QStringLiteral("概览_买家_删除"), QStringLiteral("DELETE ON $B"),
            buyerProvinces(QStringLiteral("OLD"), false)),
        trigger(QStringLiteral("概览_客户_新增"),
            QStringLiteral("INSERT ON 客户表 WHEN IFNULL(NEW.BName,'')<>''"),
            profileProvinces(QStringLiteral("NEW"), true)),
        trigger(QStringLiteral("概览_客户_删除"),
            QStringLiteral("DELETE ON 客户表 WHEN IFNULL(OLD.BName,'')<>''"),
            profileProvinces(QStringLiteral("OLD"), false)),
        // A profile downloaded again with the same name and province changes no count.
        trigger(QStringLiteral("概览_客户_修改前"),
            QStringLiteral("UPDATE OF BCode,BName,Prov ON 客户表 WHEN IFNULL(OLD.BName,'')<>'' "
                           "AND %1")
                .arg(kProfileChanged),
            profileProvinces(QStringLiteral("OLD"), false)),
        trigger(QStringLiteral("概览_客户_修改后"),
            QStringLiteral("UPDATE OF BCode,BName,Prov ON 客户表 WHEN IFNULL(NEW.BName,'')<>'' "
                           "AND %1")
                .arg(kProfileChanged),
            profileProvinces(QStringLiteral("NEW"), true)),
    };
}

// The summary computed from the base tables, one statement per table.
QStringList rebuildStatements()
{
    const QString w = overviewWeekSql(QStringLiteral("t.Dat"));
    return {
        QStringLiteral(
            "INSERT INTO $W(KWord,Week,Trades,Quantity,Cents) SELECT K,Wk,COUNT(*),"
            "SUM(Q),SUM(C) FROM (SELECT IFNULL(p.KWord,'') AS K,%1 AS Wk,%2 AS Q,%3 AS C "
            "FROM 交易表 t LEFT JOIN 产品表 p ON p.ID=t.PID) WHERE Wk IS NOT NULL GROUP "
            "BY K,Wk")
            .arg(w, quantityOf(QStringLiteral("t")), centsOf(QStringLiteral("t"))),
        QStringLiteral("INSERT INTO $B(BCode,Scope,KWord,Trades) SELECT BCode,0,'',COUNT(*) FROM "
                       "交易表 WHERE BCode<>'' GROUP BY BCode"),
        QStringLiteral(
            "INSERT INTO $B(BCode,Scope,KWord,Trades) SELECT t.BCode,1,IFNULL(p.KWord,''),"
            "COUNT(*) FROM 交易表 t LEFT JOIN 产品表 p ON p.ID=t.PID WHERE t.BCode<>'' "
            "GROUP BY t.BCode,IFNULL(p.KWord,'')"),
        QStringLiteral(
            "INSERT INTO $P(Scope,KWord,Prov,Buyers) SELECT b.Scope,b.KWord,"
            "IFNULL(k.Prov,''),COUNT(*) FROM $B b JOIN 客户表 k ON k.BCode=b.BCode WHERE "
            "k.BName<>'' GROUP BY b.Scope,b.KWord,IFNULL(k.Prov,'')"),
    };
}

QStringList triggerNames()
{
    QStringList names;
    for (const QString& statement : triggerStatements())
        names << statement.section(u' ', 2, 2);
    return names;
}

bool run(db::Database& db, const QString& sql, QString* error)
{
    QString why;
    if (db.executeNative(fill(sql), &why))
        return true;
    if (error)
        *error = why;
    return false;
}

bool dropAll(db::Database& db, QString* error)
{
    for (const QString& name : triggerNames()) {
        if (!run(db, QStringLiteral("DROP TRIGGER IF EXISTS ") + name, error))
            return false;
    }
    for (const QString& table : { W, B, P }) {
        if (!run(db, QStringLiteral("DROP TABLE IF EXISTS ") + table, error))
            return false;
    }
    return true;
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
    QStringList statements;
    for (const QString& statement : tableStatements() + triggerStatements())
        statements << fill(statement);
    return statements;
}

bool HasOverviewSummary(db::Database& db)
{
    if (db.isServer())
        return false;
    db::Statement stmt = db.prepareNative(
        QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE "
                       "(type='table' AND name IN (?,?,?)) OR type='trigger' AND "
                       "name LIKE '概览\\_%' ESCAPE '\\'"));
    if (!stmt)
        return false;
    stmt.bindText(1, W);
    stmt.bindText(2, B);
    stmt.bindText(3, P);
    if (stmt.step() != db::StepResult::Row)
        return false;
    return stmt.int64(0) == 3 + triggerNames().size();
}

bool DropOverviewSummary(db::Database& db, QString* error)
{
    if (db.isServer())
        return true;
    const bool ok = dropAll(db, error);
    db.schemaChanged();
    return ok;
}

bool RebuildOverviewSummary(db::Database& db, QString* error, core::Feedback* feedback)
{
    if (db.isServer())
        return true;
    const QString savepoint = QStringLiteral("overview_%1").arg(db.nextSavepointId());
    if (!db.beginSavepoint(savepoint)) {
        if (error)
            *error = db.lastErrorText();
        return false;
    }
    const QStringList fills = rebuildStatements();
    bool ok = dropAll(db, error);
    for (const QString& statement : tableStatements())
        ok = ok && run(db, statement, error);
    for (const QString& statement : fills) {
        ok = ok && run(db, statement, error);
        if (ok && feedback && feedback->isIndicatorOpen()) {
            feedback->indicatorStep(1, QStringLiteral("pages"));
            // Closing the window stops here; the summary is made on another open.
            if (!feedback->isIndicatorOpen()) {
                ok = false;
                if (error)
                    *error = QStringLiteral("cancelled");
            }
        }
    }
    for (const QString& statement : triggerStatements())
        ok = ok && run(db, statement, error);
    if (ok)
        ok = db.releaseSavepoint(savepoint);
    if (!ok)
        db.rollbackSavepoint(savepoint);
    db.schemaChanged();
    return ok;
}

} // namespace quel::store

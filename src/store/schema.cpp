#include "store/schema.h"

#include "core/feedback.h"
#include "db/database.h"
#include "store/customer_lookup.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "store/overview_summary.h"
#include "store/price_history.h"
#include "store/watch_list.h"

#include <QFile>

namespace quel::store {

using db::Database;
using db::Statement;

QStringList permanentTables()
{
    return QStringList { QStringLiteral("产品表"), QStringLiteral("交易表"),
        QStringLiteral("客户表"), QStringLiteral("关键词"), QStringLiteral("简化表"),
        QStringLiteral("替换表"), kPriceHistoryTable }
    + watchTables();
}

QString priceHistoryStatement()
{
    // No defaults: an empty figure is one that the observation did not see.
    return QStringLiteral("CREATE TABLE 价格历史 (PID LONG, Dat DATE, Price DOUBLE, Num1 LONG, "
                          "Num9 LONG, VTimes LONG, CTimes LONG)");
}

QStringList schemaStatements()
{
    // Defaults give a row created with only some columns (a new buyer code, a product
    // stored by the search) the marks that the downloads look for: an empty Style or Prov
    // and the date 1900-1-1 mean "never downloaded".
    return QStringList {
        QStringLiteral(
            "CREATE TABLE 产品表 (ID COUNTER, KWord STRING DEFAULT '', PCode STRING DEFAULT '', "
            "P_Name STRING DEFAULT '', PName STRING DEFAULT '', SCode STRING DEFAULT '', "
            "SName STRING DEFAULT '', Dat STRING DEFAULT '', Addr STRING DEFAULT '', "
            "Price DOUBLE DEFAULT 0, VIP DOUBLE DEFAULT 0, MFee DOUBLE DEFAULT 0, "
            "PMode STRING DEFAULT '', Dis DOUBLE DEFAULT 0, Service STRING DEFAULT '', "
            "Return STRING DEFAULT '', Num1 LONG DEFAULT 0, Num9 LONG DEFAULT 0, "
            "Style STRING DEFAULT '', VTimes LONG DEFAULT 0, CTimes LONG DEFAULT 0, "
            "SNum LONG DEFAULT 0, dDat DATE DEFAULT #1900-1-1#)"),
        QStringLiteral(
            "CREATE TABLE 交易表 (ID COUNTER, PID LONG DEFAULT 0, BCode STRING DEFAULT '', "
            "Buyer STRING DEFAULT '', Dat DATE, Pri DOUBLE DEFAULT 0, Num LONG DEFAULT 0)"),
        // Credit levels are numbers so that "BLevel DESC" puts the higher credit first.
        QStringLiteral(
            "CREATE TABLE 客户表 (ID COUNTER, BCode STRING DEFAULT '', BName STRING DEFAULT '', "
            "SLevel LONG DEFAULT 0, BLevel LONG DEFAULT 0, Prov STRING DEFAULT '', "
            "Regi STRING DEFAULT '', rDat DATE DEFAULT #1900-1-1#, "
            "lDat DATE DEFAULT #1900-1-1#, dDat DATE DEFAULT #1900-1-1#)"),
        QStringLiteral(
            "CREATE TABLE 关键词 (ID COUNTER, Cls LONG DEFAULT 0, Con STRING DEFAULT '')"),
        QStringLiteral(
            "CREATE TABLE 简化表 (ID COUNTER, Con STRING DEFAULT '', Sim STRING DEFAULT '')"),
        QStringLiteral(
            "CREATE TABLE 替换表 (ID COUNTER, Con STRING DEFAULT '', Sim STRING DEFAULT '')"),
        priceHistoryStatement(),
    }
    + watchTableStatements();
}

QStringList indexStatements()
{
    return QStringList {
        // A product's trades: every import, list, deletion and per-product analysis.
        QStringLiteral("CREATE INDEX IF NOT EXISTS 交易表_PID ON 交易表 (PID)"),
        // The search's "is this item stored" test.
        QStringLiteral("CREATE INDEX IF NOT EXISTS 产品表_PCode ON 产品表 (PCode)"),
        // A buyer's trades, from the profile side (buyer download, customer statistics), with
        // the product of each: the overview's sums ask in which categories a buyer bought
        // without reading the trades themselves.
        QStringLiteral("CREATE INDEX IF NOT EXISTS 交易表_BCode_PID ON 交易表 (BCode, PID)"),
        // The product lists' usual filters (and their value lists): category and shop.
        QStringLiteral("CREATE INDEX IF NOT EXISTS 产品表_KWord ON 产品表 (KWord)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS 产品表_SName ON 产品表 (SName)"),
        // The product statistics and the totals group every product by its names: an index
        // that holds a grouping's names and every figure summed or averaged is read in the
        // grouping's order instead of the table (a tenth of its pages, no sorting).
        QStringLiteral("CREATE INDEX IF NOT EXISTS 产品表_SName_Figures ON 产品表 (SName, P_Name, "
                       "Price, MFee, Dis, Num1, Num9, SNum, VTimes, CTimes)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS 产品表_KWord_Figures ON 产品表 (KWord, Price, "
                       "MFee, Dis, Num1, Num9, SNum, VTimes, CTimes)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS 产品表_P_Name_Figures ON 产品表 (P_Name, Price, "
                       "MFee, Dis, Num1, Num9, SNum, VTimes, CTimes)"),
        // A buyer code's rows (imports, the buyer download), and for the customer statistics
        // and the overview each buyer of the chosen products with the columns they count by,
        // from this index without a second lookup in the table.
        QStringLiteral("CREATE INDEX IF NOT EXISTS 客户表_BCode_Profile ON 客户表 (BCode, BName, "
                       "Prov, Regi, BLevel, lDat)"),
        // One history row per product and day; a product's days in order, for the trend
        // page and the list's price change.
        QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS 价格历史_PID_Dat ON 价格历史 (PID, Dat)"),
    }
    + watchIndexStatements();
}

QStringList obsoleteIndexes()
{
    // 交易表_BCode_PID does its work and more, and so does 客户表_BCode_Profile for
    // 客户表_BCode (the customer list reads the customer copy): each index kept costs every
    // import a page written for a new buyer.
    return QStringList { QStringLiteral("交易表_BCode"), QStringLiteral("客户表_BCode") };
}

bool createSchema(Database& db, QString* error)
{
    for (const QString& statement : schemaStatements()) {
        if (!db.execute(statement, error))
            return false;
    }
    return createIndexes(db, error) && RebuildOverviewSummary(db, error)
        && RebuildCustomerLookup(db, error);
}

namespace {

// The index statements whose index the database lacks: making one, even one that exists,
// locks its table against writes for a moment, and on a server other copies may be writing.
QStringList missingIndexStatements(Database& db)
{
    const QStringList existing = db.indexNames();
    QStringList missing;
    for (const QString& statement : indexStatements()) {
        const QString name = statement.section(QStringLiteral(" EXISTS "), 1).section(u' ', 0, 0);
        if (!existing.contains(name, Qt::CaseInsensitive))
            missing << statement;
    }
    return missing;
}

bool runAll(Database& db, const QStringList& statements, QString* error)
{
    for (const QString& statement : statements) {
        Statement stmt = db.prepare(statement, error);
        if (!stmt || !stmt.run()) {
            if (stmt && error)
                *error = stmt.errorText();
            return false;
        }
    }
    return true;
}

} // namespace

bool createIndexes(Database& db, QString* error)
{
    return runAll(db, missingIndexStatements(db), error);
}

void ensureSchema(Database& db, core::Feedback* feedback)
{
    // A database made before a table or an index was added gets it the first time it is
    // opened. Only files that hold the permanent tables are touched: a blank file being made
    // into a template or a compaction target has none yet.
    if (!db.tableColumns(QStringLiteral("交易表")) || !db.tableColumns(QStringLiteral("产品表"))
        || !db.tableColumns(QStringLiteral("客户表")))
        return;
    // The tables added after the first databases were made, each with its statement.
    QStringList missingTables;
    const QStringList later = QStringList { kPriceHistoryTable } + watchTables();
    const QStringList laterStatements
        = QStringList { priceHistoryStatement() } + watchTableStatements();
    for (qsizetype i = 0; i < later.size(); ++i) {
        if (!db.tableColumns(later.at(i)))
            missingTables << laterStatements.at(i);
    }
    // A database that has it all is only read.
    const QStringList indexes = missingIndexStatements(db);
    const bool summary = !db.isServer() && !HasOverviewSummary(db);
    const bool lookup = CanKeepCustomerLookup(db) && !HasCustomerLookup(db);
    QStringList obsolete;
    const QStringList existing = db.indexNames();
    for (const QString& name : obsoleteIndexes()) {
        if (existing.contains(name, Qt::CaseInsensitive))
            obsolete << name;
    }
    if (missingTables.isEmpty() && indexes.isEmpty() && !summary && !lookup && obsolete.isEmpty())
        return;
    // The missing tables are made in one transaction, so an interrupted open leaves none of
    // them half made.
    if (!missingTables.isEmpty()) {
        db.executeNative(QStringLiteral("BEGIN"));
        bool ok = true;
        for (const QString& statement : std::as_const(missingTables))
            ok = ok && db.execute(statement);
        db.schemaChanged();
        db.executeNative(ok ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK"));
        db.schemaChanged();
    }
    if (indexes.isEmpty() && !summary && !lookup && obsolete.isEmpty())
        return;
    // An index over millions of rows takes seconds, the overview's summary a minute: the
    // user sees a progress window (unless one is already open for the work that opened the
    // database). Each index is its own transaction, so closing the window keeps those made
    // and the next open goes on with the rest; the program works without them, only slower.
    const bool ownWindow = feedback && !feedback->isIndicatorOpen();
    if (ownWindow)
        feedback->indicatorStart(QStringLiteral("正在为数据库建立索引（仅首次打开）……"),
            static_cast<long>(
                indexes.size() + (summary ? OverviewSummarySteps(db) : 0) + (lookup ? 1 : 0)),
            0);
    for (const QString& statement : indexes) {
        db.executeNative(QStringLiteral("BEGIN"));
        const bool ok = runAll(db, { statement }, nullptr);
        db.executeNative(ok ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK"));
        if (!ownWindow)
            continue;
        feedback->indicatorStep(1, QStringLiteral("pages"));
        if (!feedback->isIndicatorOpen())
            return;
    }
    // An index another one replaced goes once its successor is there (each index to keep
    // writing costs every import).
    if (missingIndexStatements(db).isEmpty()) {
        for (const QString& name : std::as_const(obsolete))
            db.executeNative(QStringLiteral("DROP INDEX IF EXISTS \"%1\"").arg(name));
        db.schemaChanged();
    }
    // The summary after the indexes, which its making reads; all of it or nothing.
    if (summary && !RebuildOverviewSummary(db, nullptr, ownWindow ? feedback : nullptr) && ownWindow
        && !feedback->isIndicatorOpen())
        return;
    if (lookup)
        RebuildCustomerLookup(db, nullptr, ownWindow ? feedback : nullptr);
    if (ownWindow && feedback->isIndicatorOpen())
        feedback->indicatorClose();
}

bool writeTemplate(const QString& path, QString* error)
{
    // Built beside the target and renamed, so the target is never half written.
    const QString temp = path + QStringLiteral(".TMP");
    QFile::remove(temp);
    {
        auto db = OpenDatabase(temp, QString::fromLatin1(kDatabasePassword), error, true);
        if (!db || !createSchema(*db, error)) {
            db.reset();
            QFile::remove(temp);
            return false;
        }
    }
    QFile::remove(path);
    if (!QFile::rename(temp, path)) {
        if (error)
            *error = QStringLiteral("cannot write ") + path;
        QFile::remove(temp);
        return false;
    }
    return true;
}

} // namespace quel::store

// The template's indexes, and older databases that get them when they are opened.
#include "db/database.h"
#include "db/recordset.h"
#include "db_sqlite/sqlite_database.h"
#include "store/customer_lookup.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "store/overview_summary.h"
#include "store/schema.h"
#include "store/watch_list.h"
#include "support/fake_feedback.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace quel::store;
using namespace quel::db;
using namespace quel::db_sqlite;

namespace {

QStringList indexNames(Database& db)
{
    QStringList names;
    Statement stmt = db.prepare(QStringLiteral(
        "SELECT name FROM sqlite_master WHERE type='index' AND name NOT LIKE 'sqlite_%' "
        "AND substr(name,1,2)<>'概览' ORDER BY name"));
    while (stmt && stmt.step() == StepResult::Row)
        names << stmt.text(0);
    return names;
}

std::shared_ptr<Database> create(const QString& path)
{
    QString error;
    auto db = OpenDatabase(path, QString::fromLatin1(kDatabasePassword), &error, true);
    EXPECT_TRUE(db) << error.toStdString();
    return db;
}

} // namespace

TEST(Schema, TemplateAndOlderDatabasesCarryEveryIndex)
{
    quel::test::TempDir dir;
    QString error;
    const QString templatePath = dir.file(QStringLiteral("Null_Data.mdb"));
    ASSERT_TRUE(writeTemplate(templatePath, &error)) << error.toStdString();
    const QStringList expected { QStringLiteral("交易表_BCode_PID"), QStringLiteral("交易表_PID"),
        QStringLiteral("产品表_PCode"), QStringLiteral("产品表_KWord"),
        QStringLiteral("产品表_SName"), QStringLiteral("产品表_SName_Figures"),
        QStringLiteral("产品表_KWord_Figures"), QStringLiteral("产品表_P_Name_Figures"),
        QStringLiteral("客户表_BCode_Profile"), QStringLiteral("价格历史_PID_Dat"),
        QStringLiteral("关注表_Kind_Val"), QStringLiteral("关注快照_PID"),
        QStringLiteral("变化记录_Run") };
    {
        auto db = OpenDatabase(templatePath, QString::fromLatin1(kDatabasePassword), &error);
        ASSERT_TRUE(db);
        QStringList names = indexNames(*db);
        names.sort();
        QStringList sorted = expected;
        sorted.sort();
        EXPECT_EQ(names, sorted);
    }

    // A file made before the buyer-code index, the price history and the watch list existed,
    // with rows in it: the first open through the pool adds what is missing, drops the index
    // its buyer index replaced and the buyer-code index of 客户表 and keeps the rows.
    const QString older = dir.file(QStringLiteral("DATA.mdb"));
    {
        auto db = create(older);
        for (const QString& statement : schemaStatements()) {
            if (statement == priceHistoryStatement() || watchTableStatements().contains(statement))
                continue;
            ASSERT_TRUE(db->execute(statement, &error)) << error.toStdString();
        }
        ASSERT_TRUE(db->execute(
            QStringLiteral("INSERT INTO 产品表(PCode,Price) VALUES('p1','12.5')"), &error));
        ASSERT_TRUE(db->executeNative(
            QStringLiteral("CREATE INDEX 交易表_PID ON 交易表 (PID);"
                           "CREATE INDEX 交易表_BCode ON 交易表 (BCode);"
                           "CREATE INDEX 客户表_BCode ON 客户表 (BCode);"
                           "INSERT INTO 交易表(PID,BCode,Buyer) VALUES(1,'b1','甲')")));
    }
    auto pooled = DatabasePool::shared().acquire(older, &error);
    ASSERT_TRUE(pooled) << error.toStdString();
    QStringList names = indexNames(*pooled);
    names.sort();
    QStringList sorted = expected;
    sorted.sort();
    EXPECT_EQ(names, sorted);
    Recordset rs;
    ASSERT_TRUE(rs.open(pooled, QStringLiteral("SELECT * FROM 交易表 WHERE BCode='B1'"), &error));
    EXPECT_EQ(rs.recordCount(), 1) << "buyer codes still compare without regard to case";
    ASSERT_TRUE(rs.open(pooled, QStringLiteral("SELECT Price FROM 产品表"), &error));
    EXPECT_EQ(rs.recordCount(), 1);
    EXPECT_DOUBLE_EQ(rs.value(0).toDouble(), 12.5);
    // The history table is there, empty, with its columns; the same day twice is one row.
    ASSERT_TRUE(rs.open(pooled, QStringLiteral("SELECT * FROM 价格历史"), &error))
        << error.toStdString();
    EXPECT_EQ(rs.recordCount(), 0);
    EXPECT_EQ(rs.fieldCount(), 7);
    EXPECT_TRUE(pooled->execute(
        QStringLiteral("INSERT INTO 价格历史(PID,Dat,Price) VALUES(1,#2026-12-7#,12.5)")));
    EXPECT_FALSE(pooled->execute(
        QStringLiteral("INSERT INTO 价格历史(PID,Dat,Price) VALUES(1,'2026-12-7',13)")));
    // The watch list and the digest tables are there, empty, and a product is followed once.
    for (const QString& table : watchTables()) {
        ASSERT_TRUE(rs.open(pooled, QStringLiteral("SELECT * FROM ") + table, &error))
            << error.toStdString();
        EXPECT_EQ(rs.recordCount(), 0);
    }
    EXPECT_TRUE(
        pooled->execute(QStringLiteral("INSERT INTO 关注表(Kind,Val) VALUES('product','1')")));
    EXPECT_FALSE(
        pooled->execute(QStringLiteral("INSERT INTO 关注表(Kind,Val) VALUES('product','1')")));
    rs.close();
    // Opening again finds nothing to do.
    ensureSchema(*pooled);
    EXPECT_EQ(indexNames(*pooled).size(), expected.size());
    pooled.reset();
    DatabasePool::shared().releaseAll();
}

TEST(Schema, IndexesAddedOnFirstOpenShowProgressAndMayBeStopped)
{
    quel::test::TempDir dir;
    QString error;
    const QString path = dir.file(QStringLiteral("DATA.mdb"));
    {
        // The tables without a single index, as the oldest files are.
        auto db = create(path);
        for (const QString& statement : schemaStatements())
            ASSERT_TRUE(db->execute(statement, &error)) << error.toStdString();
    }
    const auto missing = static_cast<long>(indexStatements().size());
    // The overview's summary follows the indexes, in steps of its own, and the customer copy
    // in one.
    const long summary = 2 + 1; // no categories yet

    // Closing the window after the first index stops there, and the file keeps that one.
    quel::test::FakeFeedback stopping;
    stopping.onStep = [](quel::test::FakeFeedback& f) { f.cancelled = true; };
    auto db = DatabasePool::shared().acquire(path, &error, &stopping);
    ASSERT_TRUE(db) << error.toStdString();
    ASSERT_EQ(stopping.totals, QList<long> { missing + summary });
    EXPECT_EQ(stopping.steps, 1);
    EXPECT_EQ(indexNames(*db).size(), 1);
    db.reset();
    DatabasePool::shared().releaseAll();

    // The next open makes the rest, one step each, and closes its window.
    quel::test::FakeFeedback rest;
    db = DatabasePool::shared().acquire(path, &error, &rest);
    ASSERT_TRUE(db) << error.toStdString();
    EXPECT_EQ(rest.totals, QList<long> { missing - 1 + summary });
    EXPECT_EQ(rest.stepped, missing - 1 + summary);
    EXPECT_FALSE(rest.open);
    EXPECT_EQ(indexNames(*db).size(), missing);
    EXPECT_TRUE(HasOverviewSummary(*db));
    EXPECT_TRUE(HasCustomerLookup(*db));
    db.reset();
    DatabasePool::shared().releaseAll();

    // A complete file shows nothing; nor does an open inside work whose window is open.
    quel::test::FakeFeedback complete;
    ASSERT_TRUE(DatabasePool::shared().acquire(path, &error, &complete));
    EXPECT_TRUE(complete.events.isEmpty());
    DatabasePool::shared().releaseAll();
    {
        auto older = OpenDatabase(path, QString::fromLatin1(kDatabasePassword), &error);
        ASSERT_TRUE(older->executeNative(QStringLiteral("DROP INDEX 交易表_PID")));
    }
    quel::test::FakeFeedback busy;
    busy.indicatorStart(QStringLiteral("导入"), 10, 0);
    db = DatabasePool::shared().acquire(path, &error, &busy);
    ASSERT_TRUE(db);
    EXPECT_EQ(busy.titles.size(), 1);
    EXPECT_TRUE(busy.open);
    EXPECT_EQ(indexNames(*db).size(), missing);
    db.reset();
    DatabasePool::shared().releaseAll();
}

TEST(Schema, FilesWithoutTheTablesAreLeftAlone)
{
    quel::test::TempDir dir;
    const QString path = dir.file(QStringLiteral("other.mdb"));
    {
        auto db = create(path);
        ASSERT_TRUE(db->executeNative(QStringLiteral("CREATE TABLE 交易表 (ID INTEGER)")));
    }
    QString error;
    auto db = DatabasePool::shared().acquire(path, &error);
    ASSERT_TRUE(db) << error.toStdString();
    EXPECT_TRUE(indexNames(*db).isEmpty());
    db.reset();
    DatabasePool::shared().releaseAll();
}

TEST(Schema, RecordsetReadsAtMostTheRowsAskedFor)
{
    quel::test::TempDir dir;
    QString error;
    const QString path = dir.file(QStringLiteral("DATA.mdb"));
    ASSERT_TRUE(writeTemplate(path, &error));
    auto db = OpenDatabase(path, QString::fromLatin1(kDatabasePassword), &error);
    ASSERT_TRUE(db);
    for (int i = 1; i <= 5; ++i)
        ASSERT_TRUE(db->execute(QStringLiteral("INSERT INTO 产品表(PCode) VALUES('%1')").arg(i)));
    Recordset rs;
    ASSERT_TRUE(rs.open(db, QStringLiteral("SELECT * FROM 产品表 ORDER BY ID DESC"), &error, 3));
    EXPECT_EQ(rs.recordCount(), 3);
    EXPECT_EQ(rs.field(QStringLiteral("PCode")).toString(), QStringLiteral("5"));
    ASSERT_TRUE(rs.open(db, QStringLiteral("SELECT * FROM 产品表"), &error, 10));
    EXPECT_EQ(rs.recordCount(), 5);
    // The rows read stay updatable.
    ASSERT_TRUE(rs.open(db, QStringLiteral("SELECT * FROM 产品表 ORDER BY ID"), &error, 1));
    ASSERT_TRUE(rs.setField(QStringLiteral("KWord"), QStringLiteral("手机")));
    ASSERT_TRUE(rs.update());
    rs.close();
    Recordset check;
    ASSERT_TRUE(check.open(db, QStringLiteral("SELECT KWord FROM 产品表 WHERE ID=1"), &error));
    EXPECT_EQ(check.value(0).toString(), QStringLiteral("手机"));
}

TEST(Schema, PageCacheHoldsTheFileWithinTheMachinesBounds)
{
    constexpr qint64 mb = qint64(1) << 20;
    constexpr qint64 gb = qint64(1) << 30;
    // A small file gets the floor, a larger one a little over its size, a year's database
    // the ceiling; a machine with little memory gives a quarter of it, never below the floor.
    EXPECT_EQ(pageCacheBytes(100 * 1024, 24 * gb), kMinPageCacheBytes);
    EXPECT_EQ(pageCacheBytes(80 * mb, 24 * gb), 90 * mb);
    EXPECT_EQ(pageCacheBytes(2 * gb, 24 * gb), kMaxPageCacheBytes);
    EXPECT_EQ(pageCacheBytes(2 * gb, 512 * mb), 128 * mb);
    EXPECT_EQ(pageCacheBytes(2 * gb, 64 * mb), kMinPageCacheBytes);
    EXPECT_EQ(pageCacheBytes(2 * gb, 0), kMinPageCacheBytes);

    // The size is the one the opened file gets.
    quel::test::TempDir dir;
    QString error;
    const QString path = dir.file(QStringLiteral("DATA.mdb"));
    ASSERT_TRUE(writeTemplate(path, &error)) << error.toStdString();
    auto db = OpenDatabase(path, QString::fromLatin1(kDatabasePassword), &error);
    ASSERT_TRUE(db);
    Statement stmt = db->prepareNative(QStringLiteral("PRAGMA cache_size"), &error);
    ASSERT_TRUE(stmt && stmt.step() == StepResult::Row) << error.toStdString();
    EXPECT_EQ(stmt.int64(0), -kMinPageCacheBytes / 1024);
}

#include "db/database.h"
#include "store/database_copy.h"
#include "store/database_key.h"
#include "store/database_pool.h"
#include "store/schema.h"
#include "support/pg_server.h"
#include "support/temp_dir.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <gtest/gtest.h>

namespace quel::store {

using db::Database;
using db::Statement;
using db::StepResult;
namespace {

std::string s(const QString& text)
{
    return text.toStdString();
}

// Every row of a table as text, each value with its kind, sorted: equal dumps mean equal
// rows, whatever order the engine hands them over in.
QStringList dump(Database& db, const QString& table)
{
    QStringList rows;
    Statement stmt = db.prepareNative(QStringLiteral("SELECT * FROM \"%1\"").arg(table));
    EXPECT_TRUE(stmt) << s(table);
    if (!stmt)
        return rows;
    while (stmt.step() == StepResult::Row) {
        QStringList row;
        for (int i = 0; i < stmt.columnCount(); ++i) {
            const QVariant v = stmt.value(i);
            if (v.isNull())
                row << QStringLiteral("NULL");
            else if (v.typeId() == QMetaType::Double)
                row << QStringLiteral("d:") + QString::number(v.toDouble(), 'g', 17);
            else if (v.typeId() == QMetaType::LongLong)
                row << QStringLiteral("i:") + v.toString();
            else
                row << QStringLiteral("t:") + v.toString();
        }
        rows << row.join(u'|');
    }
    rows.sort();
    return rows;
}

qint64 count(Database& db, const QString& table)
{
    Statement stmt = db.prepareNative(QStringLiteral("SELECT COUNT(*) FROM \"%1\"").arg(table));
    return stmt && stmt.step() == StepResult::Row ? stmt.int64(0) : -1;
}

class DatabaseCopyTest : public test::PgServerTest
{
protected:
    std::shared_ptr<Database> newFile(const QString& name)
    {
        QString error;
        auto db
            = OpenDatabase(m_dir.file(name), QString::fromLatin1(kDatabasePassword), &error, true);
        EXPECT_TRUE(db) << s(error);
        if (db) {
            EXPECT_TRUE(createSchema(*db, &error)) << s(error);
        }
        return db;
    }
    std::shared_ptr<Database> server()
    {
        QString error;
        auto db = OpenDatabase(pgAddress(), {}, &error);
        EXPECT_TRUE(db) << s(error);
        return db;
    }
    void exec(Database& db, const QString& jet)
    {
        QString error;
        ASSERT_TRUE(db.execute(jet, &error)) << s(jet) << ": " << s(error);
    }

    // A little of everything the tables hold: Chinese text, quotes, doubles, dates and NULL
    // dates, a gap in the IDs, rows in every permanent table.
    void seed(Database& db)
    {
        exec(db,
            "INSERT INTO 产品表 (KWord,PCode,P_Name,SName,Price,VIP,Dis,Num1,Num9,dDat) "
            "VALUES ('手机','A1','诺基亚 N73 \"限量\"','Levi''s 小铺',1600.5,0.1,0.333333333333,3,"
            "30,#2026-12-1#)");
        exec(db,
            "INSERT INTO 产品表 (KWord,PCode,P_Name,SName,Price) "
            "VALUES ('配件','B2','电池, 大号','数码之家',45)");
        exec(db, "INSERT INTO 产品表 (KWord,P_Name) VALUES ('配件','to be deleted')");
        exec(db, "INSERT INTO 产品表 (KWord,P_Name,Price) VALUES ('手机','E258',1e-7)");
        exec(db, "DELETE * FROM 产品表 WHERE P_Name='to be deleted'");
        exec(db,
            "INSERT INTO 交易表 (PID,BCode,Buyer,Dat,Pri,Num) "
            "VALUES (1,'b1','张三',#2026-11-30 13:45:10#,1599.99,2)");
        exec(db,
            "INSERT INTO 交易表 (PID,BCode,Buyer,Dat,Pri,Num) "
            "VALUES (2,'b2','O''Brien',NULL,45,1)");
        exec(db,
            "INSERT INTO 客户表 (BCode,BName,SLevel,BLevel,Prov,rDat) "
            "VALUES ('b1','张三',3,12,'浙江',#2020-2-29#)");
        exec(db, "INSERT INTO 客户表 (BCode,BName,lDat) VALUES ('b2','O''Brien',NULL)");
        exec(db, "INSERT INTO 关键词 (Cls,Con) VALUES (1,'手机')");
        exec(db, "INSERT INTO 简化表 (Con,Sim) VALUES ('诺基亚','NK')");
        exec(db, "INSERT INTO 替换表 (Con,Sim) VALUES ('（','(')");
        exec(db, "INSERT INTO 价格历史 (PID,Dat,Price,Num9) VALUES (1,#2026-12-1#,1600.5,30)");
        exec(db, "INSERT INTO 价格历史 (PID,Dat,Price) VALUES (2,#2026-12-2#,NULL)");
        exec(db,
            "INSERT INTO 关注表 (Kind,Val,PID,Since) VALUES ('product','1',1,#2026-12-1 8:00#)");
        exec(db, "INSERT INTO 关注表 (Kind,Val,Since) VALUES ('shop','O''Brien店',#2026-12-1#)");
        exec(db,
            "INSERT INTO 关注快照 (PID,Price,Num9,Missed,MissDay,Gone,Seen) "
            "VALUES (1,1600.5,30,1,#2026-12-2#,0,#2026-12-2 8:00#)");
        exec(db, "INSERT INTO 关注快照 (PID,Price) VALUES (2,45)");
        exec(db,
            "INSERT INTO 关注运行 (Run,Threshold,Changes,Failed) VALUES (#2026-12-2 8:00#,5,1,0)");
        exec(db,
            "INSERT INTO 变化记录 (Run,Kind,PID,SName,PName,Old,New,Pct) "
            "VALUES (#2026-12-2 8:00#,'price',1,'甲店','手机',1700,1600.5,-5.85)");
        exec(db, "INSERT INTO 变化记录 (Run,Kind,PID,New) VALUES (#2026-12-2 8:00#,'new',2,45)");
    }

    test::TempDir m_dir;
};

TEST_F(DatabaseCopyTest, FileToServerAndBackKeepsEveryRowOfEveryTable)
{
    auto local = newFile("DATA.mdb");
    ASSERT_TRUE(local);
    seed(*local);
    auto pg = server();
    ASSERT_TRUE(pg);

    QStringList reports;
    const auto progress = [&](const CopyProgress& p) {
        reports << QStringLiteral("%1 %2/%3").arg(p.table).arg(p.copied).arg(p.total);
        return true;
    };
    CopyOutcome out = CopyDatabase(local, pg, progress);
    ASSERT_TRUE(out.ok) << s(out.error);
    EXPECT_EQ(out.tables.size(), static_cast<size_t>(permanentTables().size()));
    EXPECT_TRUE(reports.contains("交易表 0/2")) << s(reports.join(", "));
    EXPECT_TRUE(reports.contains("交易表 2/2")) << s(reports.join(", "));

    auto back = newFile("BACK.mdb");
    ASSERT_TRUE(back);
    out = CopyDatabase(pg, back);
    ASSERT_TRUE(out.ok) << s(out.error);

    for (const QString& table : permanentTables()) {
        const QStringList original = dump(*local, table);
        EXPECT_FALSE(original.isEmpty()) << s(table);
        EXPECT_EQ(dump(*back, table), original) << s(table);
        // The server holds the same values, not merely the same number of rows.
        EXPECT_EQ(dump(*pg, table), original) << s(table);
    }
    // The gap left by the deleted product stays: trades still point at their products.
    EXPECT_EQ(dump(*back, "产品表").filter(QRegularExpression("^i:4\\|")).size(), 1);
}

TEST_F(DatabaseCopyTest, NewRowsOnTheTargetNumberOnFromTheLargestCopiedId)
{
    auto local = newFile("DATA.mdb");
    ASSERT_TRUE(local);
    seed(*local);
    exec(*local, "INSERT INTO 产品表 (ID,P_Name) VALUES (500,'far')");
    auto pg = server();
    ASSERT_TRUE(pg);
    const CopyOutcome out = CopyDatabase(local, pg);
    ASSERT_TRUE(out.ok) << s(out.error);

    exec(*pg, "INSERT INTO 产品表 (P_Name) VALUES ('new on the server')");
    exec(*pg, "INSERT INTO 交易表 (PID) VALUES (501)");
    Statement id = pg->prepare("SELECT ID FROM 产品表 WHERE P_Name = 'new on the server'");
    ASSERT_TRUE(id && id.step() == StepResult::Row);
    EXPECT_EQ(id.int64(0), 501);
    Statement trade = pg->prepare("SELECT MAX(ID) FROM 交易表");
    ASSERT_TRUE(trade && trade.step() == StepResult::Row);
    EXPECT_EQ(trade.int64(0), 3);

    // And the same on a file copied back from the server.
    auto back = newFile("BACK.mdb");
    ASSERT_TRUE(back);
    ASSERT_TRUE(CopyDatabase(pg, back).ok);
    exec(*back, "INSERT INTO 产品表 (P_Name) VALUES ('new in the file')");
    Statement fileId = back->prepare("SELECT ID FROM 产品表 WHERE P_Name = 'new in the file'");
    ASSERT_TRUE(fileId && fileId.step() == StepResult::Row);
    EXPECT_EQ(fileId.int64(0), 502);
}

TEST_F(DatabaseCopyTest, ATargetThatHoldsDataIsRefusedAndLeftAsItWas)
{
    auto local = newFile("DATA.mdb");
    ASSERT_TRUE(local);
    seed(*local);
    auto pg = server();
    ASSERT_TRUE(pg);
    exec(*pg, "INSERT INTO 产品表 (P_Name) VALUES ('already here')");
    const QStringList before = dump(*pg, "产品表");

    CopyOutcome out = CopyDatabase(local, pg);
    EXPECT_FALSE(out.ok);
    EXPECT_TRUE(out.error.contains("产品表 1 行")) << s(out.error);
    EXPECT_EQ(dump(*pg, "产品表"), before);
    for (const QString& table : permanentTables()) {
        if (table != "产品表") {
            EXPECT_EQ(count(*pg, table), 0) << s(table);
        }
    }

    // Back the other way: the local file holds data, so the server's rows are not copied in.
    const QStringList localBefore = dump(*local, "产品表");
    out = CopyDatabase(pg, local);
    EXPECT_FALSE(out.ok);
    EXPECT_TRUE(out.error.contains("交易表 2 行")) << s(out.error);
    EXPECT_EQ(dump(*local, "产品表"), localBefore);

    // Rules alone count as data too: they would be overwritten or mixed.
    auto rulesOnly = newFile("RULES.mdb");
    ASSERT_TRUE(rulesOnly);
    exec(*rulesOnly, "INSERT INTO 简化表 (Con,Sim) VALUES ('a','b')");
    out = CopyDatabase(pg, rulesOnly);
    EXPECT_FALSE(out.ok);
    EXPECT_TRUE(out.error.contains("简化表 1 行")) << s(out.error);
}

TEST_F(DatabaseCopyTest, AFailureOrCancelPartWayKeepsNothing)
{
    auto local = newFile("DATA.mdb");
    ASSERT_TRUE(local);
    seed(*local);
    // A trade date the server cannot read as a date: the copy stops at the trades, after the
    // products were already written.
    ASSERT_TRUE(local->executeNative("INSERT INTO 交易表 (PID,Dat) VALUES (1,'no date')"));
    auto pg = server();
    ASSERT_TRUE(pg);
    CopyOutcome out = CopyDatabase(local, pg);
    EXPECT_FALSE(out.ok);
    EXPECT_TRUE(out.error.contains("交易表")) << s(out.error);
    for (const QString& table : permanentTables())
        EXPECT_EQ(count(*pg, table), 0) << s(table);

    // The user's cancel during the trades: the products copied before are undone too.
    ASSERT_TRUE(local->executeNative("DELETE FROM 交易表 WHERE Dat = 'no date'"));
    out = CopyDatabase(local, pg, [](const CopyProgress& p) { return p.table != "交易表"; });
    EXPECT_FALSE(out.ok);
    EXPECT_TRUE(out.cancelled);
    for (const QString& table : permanentTables())
        EXPECT_EQ(count(*pg, table), 0) << s(table);

    // Nothing was left behind that would block the next attempt.
    out = CopyDatabase(local, pg);
    EXPECT_TRUE(out.ok) << s(out.error);
}

TEST_F(DatabaseCopyTest, LargeTablesGoOverInManyStatementsAndFetches)
{
    auto local = newFile("DATA.mdb");
    ASSERT_TRUE(local);
    // More trades than one insert statement and one server fetch take, and not a multiple
    // of either.
    constexpr int kTrades = 12345;
    ASSERT_TRUE(local->executeNative("BEGIN"));
    Statement insert = local->prepareNative(
        "INSERT INTO 交易表 (PID,BCode,Buyer,Dat,Pri,Num) VALUES (?,?,?,?,?,?)");
    ASSERT_TRUE(insert);
    for (int i = 0; i < kTrades; ++i) {
        insert.bindInt64(1, i % 97);
        insert.bindText(2, QStringLiteral("b%1").arg(i % 1000));
        insert.bindText(3, QStringLiteral("买家%1").arg(i));
        insert.bindText(4,
            QStringLiteral("2026-%1-%2 10:00:00")
                .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                .arg(1 + i % 28, 2, 10, QLatin1Char('0')));
        insert.bindDouble(5, 0.01 * i);
        insert.bindInt64(6, i % 5);
        ASSERT_TRUE(insert.run()) << s(insert.errorText());
        insert.reset();
    }
    ASSERT_TRUE(local->executeNative("COMMIT"));

    auto pg = server();
    ASSERT_TRUE(pg);
    std::vector<qint64> steps;
    ASSERT_TRUE(CopyDatabase(local, pg, [&](const CopyProgress& p) {
        if (p.table == "交易表") {
            EXPECT_EQ(p.total, kTrades);
            steps.push_back(p.copied);
        }
        return true;
    }).ok);
    // Reports along the way, not only at the start and the end.
    ASSERT_GE(steps.size(), 3u);
    EXPECT_EQ(steps.front(), 0);
    EXPECT_EQ(steps.back(), kTrades);
    EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));

    auto back = newFile("BACK.mdb");
    ASSERT_TRUE(back);
    const CopyOutcome out = CopyDatabase(pg, back);
    ASSERT_TRUE(out.ok) << s(out.error);
    EXPECT_EQ(dump(*back, "交易表"), dump(*local, "交易表"));
}

} // namespace
} // namespace quel::store

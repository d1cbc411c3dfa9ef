// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/overview_summary.h"
#include "support/store_fixture.h"

using namespace quel;
using quel::test::Engine;

namespace {

// The overview's sums as the triggers keep them, compared with the same sums made anew from
// the base tables after every kind of write.
class OverviewSummary : public quel::test::StoreTest
{
protected:
    // Every row of the summary's tables, in key order.
    QStringList contents()
    {
        QStringList all;
        const QString queries[] = {
            QStringLiteral("SELECT 'W',KWord,Week,Trades,Quantity,Cents FROM 概览周销售 ORDER BY "
                           "KWord,Week"),
            QStringLiteral("SELECT 'P',Scope,KWord,Prov,Buyers FROM 概览买家省份 ORDER BY Scope,"
                           "KWord,Prov"),
        };
        for (const QString& sql : queries) {
            db::Statement stmt = m_db->prepareNative(sql);
            EXPECT_TRUE(stmt) << sql.toStdString();
            if (!stmt)
                continue;
            while (stmt.step() == db::StepResult::Row) {
                QStringList row;
                for (int i = 0; i < stmt.columnCount(); ++i)
                    row << stmt.text(i);
                // A group keeps the spelling of whichever row made it; the keys compare
                // ignoring letter case.
                all << row.join(u'|').toLower();
            }
        }
        return all;
    }

    // The kept sums equal a rebuild from the base tables, which keeps them working.
    void expectSameAsRebuild(const char* after)
    {
        SCOPED_TRACE(after);
        ASSERT_TRUE(store::HasOverviewSummary(*m_db));
        const QStringList kept = contents();
        QString error;
        ASSERT_TRUE(store::RebuildOverviewSummary(*m_db, &error)) << error.toStdString();
        EXPECT_EQ(kept, contents());
        ASSERT_TRUE(store::HasOverviewSummary(*m_db));
    }

    void native(const QString& sql)
    {
        QString error;
        ASSERT_TRUE(m_db->executeNative(sql, &error))
            << sql.toStdString() << ": " << error.toStdString();
    }

    void product(int id, const QString& category)
    {
        native(QStringLiteral("INSERT INTO 产品表(ID,KWord,PCode) VALUES(%1,%2,'c%1')")
                   .arg(id)
                   .arg(category.isNull() ? QStringLiteral("NULL") : u'\'' + category + u'\''));
    }

    void trade(int pid, const QString& buyer, const QString& date, double price, int num)
    {
        native(QStringLiteral("INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) VALUES(%1,'%2','',"
                              "'%3',%4,%5)")
                   .arg(pid)
                   .arg(buyer, date)
                   .arg(price)
                   .arg(num));
    }

    void buyer(const QString& code, const QString& name, const QString& province)
    {
        native(QStringLiteral("INSERT INTO 客户表(BCode,BName,Prov) VALUES('%1','%2','%3')")
                   .arg(code, name, province));
    }

    qint64 count(const char* table)
    {
        return scalar(QStringLiteral("SELECT COUNT(*) FROM ") + QString::fromUtf8(table))
            .toLongLong();
    }

    // Two categories, a product without one, trades of a product not stored, buyers with and
    // without profiles (one profiled twice), and dates the weeks must skip.
    void fillMarket()
    {
        product(1, QStringLiteral("衬衫"));
        product(2, QStringLiteral("衬衫"));
        product(3, QStringLiteral("裤子"));
        product(4, QString());
        trade(1, QStringLiteral("b1"), QStringLiteral("2026-11-30 10:00:00"), 19.9, 2);
        trade(1, QStringLiteral("b2"), QStringLiteral("2026-12-06 23:59:59"), 19.9, 1);
        trade(1, QStringLiteral("b1"), QStringLiteral("2026-12-07 00:00:00"), 18.5, 3);
        trade(2, QStringLiteral("b3"), QStringLiteral("2026-10-01 08:00:00"), 5.55, 7);
        trade(2, QString(), QStringLiteral("2026-10-02 08:00:00"), 5.55, 1);
        trade(3, QStringLiteral("b1"), QStringLiteral("2026-02-30 08:00:00"), 99, 1);
        trade(3, QStringLiteral("b4"), QStringLiteral("not a date"), 99, 1);
        trade(4, QStringLiteral("b5"), QStringLiteral("2026-09-09 09:09:09"), 1.01, 1);
        trade(99, QStringLiteral("b2"), QStringLiteral("2026-08-08 08:08:08"), 3, 2);
        native(QStringLiteral("INSERT INTO 交易表(PID,BCode,Dat,Pri,Num) VALUES(1,NULL,NULL,NULL,"
                              "NULL)"));
        native(QStringLiteral("INSERT INTO 交易表(PID,BCode,Dat,Pri,Num) VALUES(NULL,'b3',"
                              "'2026-12-03 10:00:00',2,2)"));
        buyer(QStringLiteral("b1"), QStringLiteral("张三"), QStringLiteral("浙江"));
        buyer(QStringLiteral("b1"), QStringLiteral("张三"), QStringLiteral("浙江"));
        buyer(QStringLiteral("b2"), QString(), QString());
        buyer(QStringLiteral("b3"), QStringLiteral("李四"), QStringLiteral("广东"));
        buyer(QStringLiteral("b5"), QStringLiteral("王五"), QString());
        native(QStringLiteral("INSERT INTO 客户表(BCode,BName,Prov) VALUES('b4','赵六',NULL)"));
        // Names that differ in letter case only are one category, one buyer, one province, as
        // the base tables compare them.
        product(5, QStringLiteral("Shirts"));
        product(6, QStringLiteral("shirts"));
        trade(5, QStringLiteral("B7"), QStringLiteral("2026-12-01 10:00:00"), 10, 1);
        trade(6, QStringLiteral("b7"), QStringLiteral("2026-12-02 10:00:00"), 10, 1);
        trade(6, QStringLiteral("b8"), QStringLiteral("2026-12-09 10:00:00"), 10, 1);
        buyer(QStringLiteral("b7"), QStringLiteral("Amy"), QStringLiteral("Guangdong"));
        buyer(QStringLiteral("b8"), QStringLiteral("Bob"), QStringLiteral("GUANGDONG"));
    }
};

INSTANTIATE_TEST_SUITE_P(
    File, OverviewSummary, ::testing::Values(Engine::File), quel::test::engineName);

} // namespace

TEST_P(OverviewSummary, EveryWriteKeepsItEqualToItsRebuild)
{
    fillMarket();
    expectSameAsRebuild("storing");
    // Three weeks of 衬衫 (a Sunday ends the week its Monday began); neither of 裤子's trades
    // has a day (2026-02-30 is none); the product without a category, the one not stored and
    // the trade without a product share ''.
    const auto number
        = [this](const char* sql) { return scalar(QString::fromUtf8(sql)).toLongLong(); };
    EXPECT_EQ(number("SELECT COUNT(*) FROM 概览周销售 WHERE KWord='衬衫'"), 3);
    EXPECT_EQ(number("SELECT COUNT(*) FROM 概览周销售 WHERE KWord='裤子'"), 0);
    EXPECT_EQ(number("SELECT COUNT(DISTINCT Week) FROM 概览周销售 WHERE KWord=''"), 3);
    EXPECT_EQ(number("SELECT Cents FROM 概览周销售 WHERE KWord='衬衫' AND Week=(SELECT MAX(Week) "
                     "FROM 概览周销售)"),
        5550);
    // b1's two profile rows count twice, as the overview counts profile rows.
    EXPECT_EQ(number("SELECT Buyers FROM 概览买家省份 WHERE Scope=0 AND Prov='浙江'"), 2);
    EXPECT_EQ(number("SELECT COUNT(*) FROM 概览周销售 WHERE KWord='SHIRTS'"), 2);
    EXPECT_EQ(number("SELECT Buyers FROM 概览买家省份 WHERE Scope=1 AND KWord='SHIRTS' AND "
                     "Prov='guangdong'"),
        2);

    trade(1, QStringLiteral("b6"), QStringLiteral("2026-12-08 12:00:00"), 20, 1);
    buyer(QStringLiteral("b6"), QStringLiteral("钱七"), QStringLiteral("江苏"));
    expectSameAsRebuild("an import");

    native(QStringLiteral("UPDATE 产品表 SET KWord='裤子' WHERE ID=1"));
    expectSameAsRebuild("a category change");
    native(QStringLiteral("UPDATE 产品表 SET KWord=NULL WHERE ID=3"));
    native(QStringLiteral("UPDATE 产品表 SET KWord='' WHERE ID=2"));
    expectSameAsRebuild("categories taken away");
    native(QStringLiteral("UPDATE 产品表 SET KWord='衬衫',PName='x' WHERE ID IN (2,3)"));
    native(QStringLiteral("UPDATE 产品表 SET KWord='SHIRTS' WHERE ID=5"));
    native(QStringLiteral("UPDATE 产品表 SET KWord='衬衫' WHERE ID=6"));
    product(99, QStringLiteral("袜子"));
    expectSameAsRebuild("a product stored after its trades");

    native(QStringLiteral("UPDATE 客户表 SET BName='孙八',Prov='四川' WHERE BCode='b2'"));
    native(QStringLiteral("UPDATE 客户表 SET Prov='福建' WHERE BCode='b3'"));
    native(QStringLiteral("UPDATE 客户表 SET BName='' WHERE BCode='b5'"));
    native(QStringLiteral("UPDATE 客户表 SET BName='张三' WHERE BCode='b1'"));
    native(QStringLiteral("DELETE FROM 客户表 WHERE BCode='b4'"));
    native(QStringLiteral("UPDATE 客户表 SET BCode='b9' WHERE BCode='b6'"));
    expectSameAsRebuild("profiles downloaded, changed and removed");

    native(QStringLiteral("UPDATE 交易表 SET Num=Num+1,Pri=Pri*2 WHERE PID=1"));
    native(QStringLiteral("UPDATE 交易表 SET Dat='2026-01-05 00:00:00',BCode='b9' WHERE PID=2"));
    native(QStringLiteral("UPDATE 交易表 SET PID=3 WHERE PID=99"));
    native(
        QStringLiteral("INSERT OR REPLACE INTO 交易表(ID,PID,BCode,Dat,Pri,Num) SELECT ID,4,'b3',"
                       "'2026-12-01',1,1 FROM 交易表 WHERE PID=1 LIMIT 1"));
    expectSameAsRebuild("trades changed and replaced");

    // A product deleted with its trades; one deleted while its trades stay.
    native(QStringLiteral("DELETE FROM 交易表 WHERE PID=1"));
    native(QStringLiteral("DELETE FROM 产品表 WHERE ID=1"));
    native(QStringLiteral("DELETE FROM 产品表 WHERE ID=3"));
    expectSameAsRebuild("deletions");
    EXPECT_GT(count(store::kOverviewWeeksTable), 0);
    EXPECT_GT(count(store::kOverviewProvincesTable), 0);

    native(QStringLiteral("DELETE FROM 交易表"));
    expectSameAsRebuild("every trade deleted");
    EXPECT_EQ(count(store::kOverviewWeeksTable), 0);
    EXPECT_EQ(count(store::kOverviewProvincesTable), 0);
}

TEST_P(OverviewSummary, AnOlderDatabaseGetsItWhenOpenedAndAFailedRebuildKeepsTheOldOne)
{
    QString error;
    ASSERT_TRUE(store::DropOverviewSummary(*m_db, &error)) << error.toStdString();
    fillMarket();
    EXPECT_FALSE(store::HasOverviewSummary(*m_db));
    store::ensureSchema(*m_db);
    ASSERT_TRUE(store::HasOverviewSummary(*m_db));
    const QStringList made = contents();
    EXPECT_FALSE(made.isEmpty());
    expectSameAsRebuild("the first open");

    // Closing the progress window during a rebuild leaves the summary as it was.
    quel::test::FakeFeedback feedback;
    feedback.onStep = [](quel::test::FakeFeedback& f) { f.cancelled = f.steps >= 2; };
    feedback.indicatorStart(QStringLiteral("x"), store::OverviewSummarySteps(*m_db), 0);
    native(QStringLiteral("DELETE FROM 概览周销售"));
    const QStringList damaged = contents();
    EXPECT_FALSE(store::RebuildOverviewSummary(*m_db, &error, &feedback));
    EXPECT_TRUE(store::HasOverviewSummary(*m_db));
    EXPECT_EQ(contents(), damaged);
    ASSERT_TRUE(store::RebuildOverviewSummary(*m_db, &error)) << error.toStdString();
    EXPECT_EQ(contents(), made);
}

TEST_P(OverviewSummary, CompactionKeepsItAndItsTriggers)
{
    fillMarket();
    const QStringList before = contents();
    ASSERT_NO_FATAL_FAILURE(compactAndReopen());
    EXPECT_EQ(contents(), before);
    trade(1, QStringLiteral("b3"), QStringLiteral("2026-12-08 10:00:00"), 5, 1);
    expectSameAsRebuild("a trade stored after the compaction");
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/market_overview.h"
#include "core/feedback.h"
#include "db/database.h"
#include "store/catalogue.h"
#include "store/database_pool.h"
#include "store/db_operate.h"
#include "support/pg_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace quel::analysis {
namespace {

// The overview's statements on a server database, which groups weeks and compares texts
// in its own way.
class MarketOverviewServerTest : public test::PgServerTest
{
protected:
    void SetUp() override
    {
        test::PgServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        QString error;
        auto db = store::OpenDatabase(pgAddress(), {}, &error);
        ASSERT_TRUE(db) << error.toStdString();
        const char* statements[] = {
            "INSERT INTO 产品表(ID,KWord,SName,Addr,Price,Num9,Style) VALUES(1,'手机','甲店',"
            "'浙江 杭州',25,3,'1')",
            "INSERT INTO 产品表(ID,KWord,SName,Addr,Price,Num9,Style) VALUES(2,'手机','乙店',"
            "'火星',12.5,2,'')",
            "INSERT INTO 产品表(ID,KWord,SName,Addr,Price,Num9,Style) VALUES(3,'钢笔','丙店',"
            "'上海',3,1,'1')",
            "INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) VALUES(1,'b1','甲',#2026-12-6 "
            "23:00#,25,2)",
            "INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) VALUES(2,'b1','甲',#2026-12-7 "
            "08:00#,12.5,1)",
            "INSERT INTO 交易表(PID,BCode,Buyer,Dat,Pri,Num) VALUES(3,'b2','乙',#2026-12-9 "
            "08:00#,3,1)",
            "INSERT INTO 客户表(BCode,BName,Prov) VALUES('b1','甲','北京')",
            "INSERT INTO 客户表(BCode,BName,Prov) VALUES('b2','乙','上海')",
        };
        for (const char* sql : statements)
            ASSERT_TRUE(db->execute(QString::fromUtf8(sql), &error)) << error.toStdString();
    }
    void TearDown() override
    {
        store::DatabasePool::shared().releaseAll();
        test::PgServerTest::TearDown();
    }
};

TEST_F(MarketOverviewServerTest, FiguresWeeksAndProvincesAsOnAFile)
{
    test::TempDir dir;
    core::SilentFeedback feedback;
    store::Catalogue catalogue(dir.path());
    catalogue.useDatabaseForRun(pgAddress());
    store::DB_Operate db(catalogue, feedback);

    MarketOverview o;
    QString error;
    ASSERT_TRUE(BuildMarketOverview(db, "手机", o, &error)) << error.toStdString();
    EXPECT_EQ(o.products, 2);
    EXPECT_EQ(o.shops, 2);
    EXPECT_EQ(o.quantity, 5);
    EXPECT_DOUBLE_EQ(o.amount, 100);
    EXPECT_DOUBLE_EQ(o.hhi, 6250);
    EXPECT_DOUBLE_EQ(o.medianPrice, 18.75);
    ASSERT_EQ(o.bands.size(), 7u);
    ASSERT_EQ(o.weeks.size(), 26u);
    EXPECT_EQ(o.weeks[25].start, QDate(2026, 12, 7));
    EXPECT_EQ(o.weeks[25].quantity, 1);
    EXPECT_EQ(o.weeks[24].quantity, 2) << "a Sunday ends the week before";
    EXPECT_EQ(o.productsWithRecords, 1);
    ASSERT_EQ(o.buyerProvinces.size(), 1u);
    EXPECT_EQ(o.buyerProvinces[0].province, "北京");
    EXPECT_EQ(o.buyerProvinces[0].count, 1);
    ASSERT_EQ(o.sellerProvinces.size(), 2u);

    ASSERT_TRUE(BuildMarketOverview(db, allCategoriesText(), o, &error)) << error.toStdString();
    EXPECT_EQ(o.products, 3);
    EXPECT_EQ(o.weeks.back().start, QDate(2026, 12, 7));
    EXPECT_EQ(o.weeks.back().quantity, 2);
    EXPECT_FALSE(BuildMarketOverview(db, "冰箱", o, &error));
    EXPECT_NE(error.indexOf("冰箱"), -1);
}

} // namespace
} // namespace quel::analysis

#include "analysis/price_trend.h"
#include "grid/grid_model.h"
#include "support/app_fixture.h"
#include "views/list_fixture.h"

namespace quel::analysis {
namespace {

// Two products watched over a week with gaps: N73 on the 1st, 2nd and 5th, E258 from the
// 3rd, its sales only on the 3rd; a third product never observed.
class PriceTrendTest : public test::ListFixture
{
protected:
    void SetUp() override
    {
        test::app();
        ListFixture::SetUp();
        exec("INSERT INTO 产品表(P_Name,PName,SName) VALUES('N73','诺基亚 N73','数码小铺')");
        exec("INSERT INTO 产品表(P_Name,PName,SName) VALUES('','三星 E258','Levi''s')");
        exec("INSERT INTO 产品表(P_Name,PName,SName) VALUES('N73','诺基亚 N73','数码小铺')");
        const char* rows[] = {
            "1,#2026-12-1#,1600,NULL",
            "1,#2026-12-2#,1550,NULL",
            "1,#2026-12-5#,1500,NULL",
            "2,#2026-12-3#,560,70",
            "2,#2026-12-4#,NULL,NULL",
            "2,#2026-12-6#,580,NULL",
        };
        for (const char* row : rows)
            exec(QStringLiteral("INSERT INTO 价格历史(PID,Dat,Price,Num9) VALUES(%1)").arg(row));
    }

    QStringList column(int c) const
    {
        QStringList texts;
        for (int r = m_grid.fixedRows(); r < m_grid.rows(); ++r)
            texts << m_grid.text(r, c);
        return texts;
    }

    QList<bool> carried(int c) const
    {
        QList<bool> marks;
        for (int r = m_grid.fixedRows(); r < m_grid.rows(); ++r)
            marks << (m_grid.cellForeground(r, c) == CarriedColour());
        return marks;
    }

    grid::GridModel m_grid;
};

TEST_F(PriceTrendTest, OneRowPerDayWithGapsCarryingTheLastKnownValue)
{
    QString title;
    QString error;
    ASSERT_TRUE(RunPriceTrend(m_grid, *m_db, { 2, 1 }, 0, title, &error, QDate(2026, 12, 7)))
        << error.toStdString();
    EXPECT_EQ(title, "淘宝产品价格走势图表\r\n（数据来源：Dovrel软件；统计日期：2026-12-7）");
    ASSERT_EQ(m_grid.cols(), 3);
    EXPECT_EQ(m_grid.fixedCols(), 1) << "the dates label the points, each product is a series";
    EXPECT_EQ(m_grid.title(0), "日期");
    // Named by short name (the title when there is none) and shop, in the order chosen.
    EXPECT_EQ(m_grid.title(1), "三星 E258(Levi's)");
    EXPECT_EQ(m_grid.title(2), "N73(数码小铺)");
    EXPECT_EQ(column(0),
        QStringList(
            { "2026-12-1", "2026-12-2", "2026-12-3", "2026-12-4", "2026-12-5", "2026-12-6" }));
    // Nothing before a product's first observation; a day without one repeats the last
    // known value, marked as carried, never 0.
    EXPECT_EQ(column(1), QStringList({ "", "", "560", "560", "560", "580" }));
    EXPECT_EQ(carried(1), QList<bool>({ false, false, false, true, true, false }));
    EXPECT_EQ(column(2), QStringList({ "1600", "1550", "1550", "1550", "1500", "1500" }));
    EXPECT_EQ(carried(2), QList<bool>({ false, false, true, true, false, true }));

    // Another measure spans only its own observations.
    ASSERT_TRUE(RunPriceTrend(m_grid, *m_db, { 1, 2 }, 2, title, &error));
    EXPECT_TRUE(title.startsWith("淘宝产品90天售出走势图表"));
    EXPECT_EQ(column(0), QStringList({ "2026-12-3" }));
    EXPECT_EQ(column(1), QStringList({ "" }));
    EXPECT_EQ(column(2), QStringList({ "70" }));
    EXPECT_TRUE(m_feedback.messages.isEmpty());
}

TEST_F(PriceTrendTest, NamesStayApartAndEmptyChoicesAreReported)
{
    QString title;
    ASSERT_TRUE(RunPriceTrend(m_grid, *m_db, { 1, 3, 99 }, 0, title, nullptr));
    EXPECT_EQ(m_grid.cols(), 3) << "an unknown ID has no column";
    EXPECT_EQ(m_grid.title(1), "N73(数码小铺)");
    EXPECT_EQ(m_grid.title(2), "N73(数码小铺)#3");
    EXPECT_EQ(column(2), QStringList({ "", "", "", "", "" }));

    ASSERT_TRUE(RunPriceTrend(m_grid, *m_db, { 3 }, 0, title, nullptr));
    EXPECT_FALSE(m_grid.hasDataRows());
    EXPECT_EQ(m_feedback.messages.last(), "所选产品还没有价格的记录。");
    ASSERT_TRUE(RunPriceTrend(m_grid, *m_db, {}, 0, title, nullptr));
    EXPECT_EQ(m_feedback.messages.last(), "请先选择要查看走势的产品！");
}

TEST(PriceTrendArguments, ProductsAreRequiredAndMeasuresNamed)
{
    TrendOptions options;
    QString error;
    ASSERT_TRUE(
        ParseTrendArguments({ "--products", "3,7,3", "--measure", "views" }, options, &error));
    EXPECT_EQ(options.ids, QList<qint64>({ 3, 7 }));
    EXPECT_EQ(options.measure, 3);
    ASSERT_TRUE(ParseTrendArguments({ "--products", "5" }, options, &error));
    EXPECT_EQ(options.measure, 0);
    for (const QStringList& bad : { QStringList {}, QStringList { "--products" },
             QStringList { "--products", "x" }, QStringList { "--products", "," },
             QStringList { "--products", "1", "--measure", "stock" },
             QStringList { "--products", "1", "--group", "shop" } }) {
        EXPECT_FALSE(ParseTrendArguments(bad, options, &error)) << bad.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

} // namespace
} // namespace quel::analysis

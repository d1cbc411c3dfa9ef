#include "analysis/sales_cycle.h"
#include "analysis_fixture.h"

using namespace quel::analysis;
using quel::grid::GridModel;

namespace {

class SalesCycle : public quel::test::AnalysisFixture
{
protected:
    AnalysisResult run(GridModel& grid, const QString& ids, CycleKind kind,
        CycleMeasure measure = CycleMeasure::Amount)
    {
        return RunSalesCycleAnalysis(grid, *m_db, ids, kind, measure, m_measure);
    }
    void addTrades()
    {
        product(5, "诺基亚", "甲店");
        product(15, "钢笔", "乙店");
        trade(5, "2010-1-31 23:59", 2.5, 2); // Sunday
        trade(5, "2010-3-31 00:00", 10, 1); // Wednesday
        trade(5, "2010-4-12 12:30", 1, 3); // Monday
        trade(15, "2010-4-30 00:00", 100, 1); // not chosen
    }
};

} // namespace

TEST_F(SalesCycle, GridLayoutPerCycle)
{
    GridModel grid;
    SetupCycleGrid(grid, CycleKind::DaysOfMonth, CycleMeasure::Amount);
    EXPECT_EQ(grid.fixedRows(), 1);
    EXPECT_EQ(grid.fixedCols(), 2);
    EXPECT_EQ(titles(grid), (QStringList { "序号", "月/天", "售出金额" }));
    EXPECT_EQ(grid.dataRowCount(), 31);
    EXPECT_EQ(grid.text(1, 1), "1日");
    EXPECT_EQ(grid.text(31, 1), "31日");
    EXPECT_EQ(grid.text(31, 0), "31");
    EXPECT_EQ(grid.text(31, 2), "0");

    SetupCycleGrid(grid, CycleKind::DaysOfWeek, CycleMeasure::Quantity);
    EXPECT_EQ(titles(grid), (QStringList { "序号", "周/天", "售出件数" }));
    EXPECT_EQ(column(grid, 1), (QStringList { "周1", "周2", "周3", "周4", "周5", "周6", "周7" }));

    SetupCycleGrid(grid, CycleKind::HoursOfDay, CycleMeasure::Quantity);
    EXPECT_EQ(grid.dataRowCount(), 24);
    EXPECT_EQ(grid.text(1, 1), "0点");
    EXPECT_EQ(grid.text(24, 1), "23点");
}

TEST_F(SalesCycle, DaysOfMonthHoursAndWeekdays)
{
    addTrades();
    GridModel grid;
    AnalysisResult result = run(grid, "5；5；", CycleKind::DaysOfMonth);
    ASSERT_TRUE(result.ready);
    EXPECT_EQ(grid.text(31, 2), "15") << "31 January and 31 March";
    EXPECT_EQ(grid.text(12, 2), "3");
    EXPECT_EQ(grid.text(30, 2), "0") << "product 15 was not chosen";
    EXPECT_EQ(result.rangeStart, "1");
    EXPECT_EQ(result.rangeEnd, "31");
    EXPECT_EQ(result.title,
        "淘宝店铺销售周期性变化规律图\r\n（日期：1日—31日；统计：按金额；周期：按月/天；统计者："
        "Dovrel软件）");

    result = run(grid, "5", CycleKind::HoursOfDay, CycleMeasure::Quantity);
    EXPECT_EQ(grid.text(1, 2), "1") << "00:00 is 0点";
    EXPECT_EQ(grid.text(24, 2), "2") << "23:59 is 23点";
    EXPECT_EQ(grid.text(13, 2), "3");
    EXPECT_EQ(grid.title(2), "售出件数");
    EXPECT_EQ(result.rangeEnd, "24");
    EXPECT_EQ(result.title,
        "淘宝店铺销售周期性变化规律图\r\n（日期：0点—23点；统计：按件数；周期：按天/时；统计者："
        "Dovrel软件）");

    result = run(grid, "5", CycleKind::DaysOfWeek);
    EXPECT_EQ(column(grid, 2), (QStringList { "3", "0", "10", "0", "0", "0", "5" }))
        << "Sunday is 周7";
    EXPECT_EQ(result.rangeStart, "1");
    EXPECT_EQ(result.rangeEnd, "7");
    EXPECT_EQ(count("TEMP_SalesCyc"), 3);
}

TEST_F(SalesCycle, WholeIdentifiersAndNoChoice)
{
    product(1, "诺基亚", "甲店");
    product(11, "钢笔", "乙店");
    trade(1, "2010-4-12 12:30", 1.25, 2);
    trade(11, "2010-4-12 12:30", 7, 1);
    GridModel grid;
    run(grid, "1", CycleKind::DaysOfWeek);
    EXPECT_EQ(grid.text(1, 2), "2.5") << "11 is not 1";

    AnalysisResult result = run(grid, "", CycleKind::DaysOfWeek);
    ASSERT_TRUE(result.ready);
    EXPECT_EQ(column(grid, 2), QStringList(7, "0"));
    EXPECT_EQ(count("TEMP_SalesCyc"), 0);
    EXPECT_FALSE(m_feedback.open);
}

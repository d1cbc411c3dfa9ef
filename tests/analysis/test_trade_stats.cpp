#include "analysis/period_bounds.h"
#include "analysis/trade_stats.h"
#include "analysis_fixture.h"

#include <QDate>

using namespace quel::analysis;
using quel::grid::GridModel;

namespace {

QDate day(int y, int m, int d)
{
    return QDate(y, m, d);
}

TEST(PeriodBoundsTest, WeeksStartOnMondayMonthsOnTheFirst)
{
    QDate start = day(2010, 4, 11); // a Sunday
    QDate end;
    PeriodBounds(start, end, PeriodUnit::Week);
    EXPECT_EQ(start, day(2010, 4, 5));
    EXPECT_EQ(end, day(2010, 4, 12));
    start = day(2010, 4, 12); // the Monday after
    PeriodBounds(start, end, PeriodUnit::Week);
    EXPECT_EQ(start, day(2010, 4, 12));
    EXPECT_EQ(end, day(2010, 4, 19));

    start = day(2008, 2, 29);
    PeriodBounds(start, end, PeriodUnit::Month);
    EXPECT_EQ(start, day(2008, 2, 1));
    EXPECT_EQ(end, day(2008, 3, 1));
    start = day(2007, 12, 31);
    PeriodBounds(start, end, PeriodUnit::Month);
    EXPECT_EQ(end, day(2008, 1, 1));

    QDateTime at(day(2010, 4, 11), QTime(23, 59));
    QDateTime next;
    PeriodBounds(at, next, PeriodUnit::Day);
    EXPECT_EQ(at, QDateTime(day(2010, 4, 11), QTime(0, 0)));
    EXPECT_EQ(next, QDateTime(day(2010, 4, 12), QTime(0, 0)));

    EXPECT_EQ(periodStarts(day(2010, 1, 31), day(2010, 3, 1), PeriodUnit::Month),
        (std::vector<QDate> { day(2010, 1, 1), day(2010, 2, 1), day(2010, 3, 1) }));
    EXPECT_EQ(periodUnitFromCaption(QStringLiteral("周")), PeriodUnit::Week);
    EXPECT_FALSE(periodUnitFromCaption(QStringLiteral("年")));
}

TEST(ChosenProductsTest, WholeNumbersEachOnce)
{
    EXPECT_EQ(
        chosenProductIds(QStringLiteral("12；5；12；x；1 2；；")), (std::vector<qint64> { 12, 5 }));
    EXPECT_TRUE(chosenProductIds(QString()).empty());
    EXPECT_EQ(idSqlList({ 12, 5 }), "12,5");
    EXPECT_EQ(shortDateText(day(2026, 12, 7)), "2026-12-7");
}

class TradeStats : public quel::test::AnalysisFixture
{
protected:
    AnalysisResult periods(GridModel& grid, const QString& ids, PeriodUnit unit,
        TradeMeasure measure = TradeMeasure::Amount, TradeSeries series = TradeSeries::Product)
    {
        return CompareTradesByPeriod(grid, *m_db, ids, { unit, measure, series }, m_measure);
    }
};

} // namespace

TEST_F(TradeStats, PeriodsSplitAtMidnightAndAtMonday)
{
    product(1, "诺基亚", "甲店");
    trade(1, "2010-4-11 23:59", 10, 1); // Sunday
    trade(1, "2010-4-12 00:00", 20, 2); // Monday

    GridModel grid;
    AnalysisResult result = periods(grid, "1；", PeriodUnit::Week);
    ASSERT_TRUE(result.ready);
    EXPECT_EQ(titles(grid), (QStringList { "序号", "日期", "诺基亚" }));
    EXPECT_EQ(grid.fieldName(2), "诺基亚");
    EXPECT_EQ(grid.fixedCols(), 2);
    EXPECT_EQ(column(grid, 0), (QStringList { "1", "2" }));
    EXPECT_EQ(column(grid, 1), (QStringList { "2010.04.05", "2010.04.12" }));
    EXPECT_EQ(column(grid, 2), (QStringList { "10.00", "40.00" }));
    EXPECT_TRUE(result.showHint);
    EXPECT_TRUE(
        result.title.startsWith("淘宝产品销售情况比较图表\r\n（数据来源：Dovrel软件；统计日期："));

    result = periods(grid, "1；", PeriodUnit::Day, TradeMeasure::Quantity);
    EXPECT_EQ(column(grid, 1), (QStringList { "2010.04.11", "2010.04.12" }));
    EXPECT_EQ(column(grid, 2), (QStringList { "1", "2" }));
}

TEST_F(TradeStats, MonthGapsGiveZeroRowsInEveryMeasure)
{
    product(1, "钢笔", "乙店");
    trade(1, "2010-1-31 12:00", 10, 1);
    trade(1, "2010-1-31 13:00", 20, 2);
    trade(1, "2010-3-1 08:00", 3, 4);

    GridModel grid;
    ASSERT_TRUE(periods(grid, "1", PeriodUnit::Month).ready);
    EXPECT_EQ(column(grid, 1), (QStringList { "2010.01.01", "2010.02.01", "2010.03.01" }));
    EXPECT_EQ(column(grid, 2), (QStringList { "50.00", "0.00", "12.00" }));
    periods(grid, "1", PeriodUnit::Month, TradeMeasure::Quantity);
    EXPECT_EQ(column(grid, 2), (QStringList { "3", "0", "4" }));
    periods(grid, "1", PeriodUnit::Month, TradeMeasure::Average);
    // A month without trades has no average price: an empty cell, never 0.00.
    EXPECT_EQ(column(grid, 2), (QStringList { "16.67", "", "3.00" }));
    // The work table holds every series and period; the empty one with its sums at 0 and
    // no average.
    EXPECT_EQ(count("TEMP_Trade1"), 3);
    EXPECT_EQ(count("TEMP_Trade1", "Sm=0 AND Num=0 AND Av IS NULL AND Dat=#2010-2-1#"), 1);
    EXPECT_EQ(count("TEMP_Trade1", "Av IS NULL"), 1);
}

TEST_F(TradeStats, SeriesShareOnePeriodAxisAndGroupByNameOrShop)
{
    product(1, "诺基亚", "甲店");
    product(2, "诺基亚", "乙店"); // same short name, another shop
    product(3, "钢笔", "甲店");
    trade(1, "2010-1-5 10:00", 10, 1);
    trade(2, "2010-3-5 10:00", 5, 2);
    trade(3, "2010-3-20 10:00", 1, 7); // starts two months after the first

    GridModel grid;
    ASSERT_TRUE(periods(grid, "1；2；3；", PeriodUnit::Month).ready);
    EXPECT_EQ(titles(grid), (QStringList { "序号", "日期", "诺基亚", "钢笔" }));
    EXPECT_EQ(column(grid, 1), (QStringList { "2010.01.01", "2010.02.01", "2010.03.01" }));
    EXPECT_EQ(column(grid, 2), (QStringList { "10.00", "0.00", "10.00" }));
    EXPECT_EQ(column(grid, 3), (QStringList { "0.00", "0.00", "7.00" })) << "aligned by date";

    ASSERT_TRUE(
        periods(grid, "1；2；3；", PeriodUnit::Month, TradeMeasure::Quantity, TradeSeries::Shop)
            .ready);
    EXPECT_EQ(titles(grid), (QStringList { "序号", "日期", "乙店", "甲店" }));
    EXPECT_EQ(column(grid, 2), (QStringList { "0", "0", "2" }));
    EXPECT_EQ(column(grid, 3), (QStringList { "1", "0", "7" }));
}

TEST_F(TradeStats, QuotesInNamesWholeIdentifiersAndRepeats)
{
    product(12, "Levi's 501", "Levi's");
    product(112, "钢笔", "乙店");
    trade(12, "2010-2-1 10:00", 100, 1);
    trade(112, "2010-2-1 10:00", 7, 1);

    GridModel grid;
    ASSERT_TRUE(periods(grid, "12；12；", PeriodUnit::Day, TradeMeasure::Quantity).ready);
    EXPECT_EQ(titles(grid), (QStringList { "序号", "日期", "Levi's 501" }));
    EXPECT_EQ(column(grid, 2), (QStringList { "1" })) << "chosen twice, counted once";
    EXPECT_EQ(count("TEMP_Trade1"), 1) << "12 does not select 112";
    EXPECT_EQ(count("TEMP_Trade1", "Name='Levi''s 501'"), 1);

    periods(grid, "12；", PeriodUnit::Day, TradeMeasure::Quantity, TradeSeries::Shop);
    EXPECT_EQ(titles(grid), (QStringList { "序号", "日期", "Levi's" }));
}

TEST_F(TradeStats, NothingToCompareLeavesGridAndTables)
{
    product(1, "诺基亚", "甲店");
    product(2, "钢笔", "乙店");
    trade(1, "2010-2-1 10:00", 100, 1);

    GridModel grid;
    ASSERT_TRUE(periods(grid, "1", PeriodUnit::Day).ready);
    EXPECT_FALSE(periods(grid, "", PeriodUnit::Day).ready);
    EXPECT_FALSE(periods(grid, "2；", PeriodUnit::Day).ready) << "no trades";
    EXPECT_EQ(column(grid, 2), (QStringList { "100.00" }));
    EXPECT_EQ(count("TEMP_Trade1", "Name='诺基亚'"), 1);
    EXPECT_TRUE(m_feedback.messages.isEmpty());
    EXPECT_FALSE(m_feedback.open);
}

TEST_F(TradeStats, AFailedRunKeepsThePreviousWorkTables)
{
    product(1, "诺基亚", "甲店", 10, 5);
    product(2, "钢笔", "乙店", 20, 1);
    trade(1, "2010-2-1 10:00", 100, 1);
    trade(2, "2010-2-2 10:00", 5, 1);
    GridModel grid;
    GridModel totals;
    ASSERT_TRUE(periods(grid, "1；2", PeriodUnit::Day).ready);
    ASSERT_TRUE(
        CompareTradeTotals(totals, *m_db, TotalsGrouping::Shop, TotalsMeasure::Amount, m_measure)
            .ready);

    // Without the product table the next runs fail, the totals after dropping TEMP_Total.
    native("ALTER TABLE 产品表 RENAME TO 产品表_x");
    EXPECT_FALSE(periods(grid, "1", PeriodUnit::Month).ready);
    EXPECT_FALSE(
        CompareTradeTotals(totals, *m_db, TotalsGrouping::Product, TotalsMeasure::Amount, m_measure)
            .ready);
    EXPECT_EQ(m_feedback.messages, QStringList(2, analysisFailedMessage()));
    EXPECT_EQ(count("TEMP_Trade1"), 4);
    EXPECT_EQ(count("TEMP_Total", "SName='甲店' AND Sm=50"), 1);
    EXPECT_EQ(column(grid, 1), (QStringList { "2010.02.01", "2010.02.02" }));
    EXPECT_EQ(column(totals, 1), (QStringList { "甲店", "乙店" }));
    EXPECT_FALSE(m_feedback.open);
}

TEST_F(TradeStats, TotalsRankPriceTimesNinetyDaySales)
{
    product(1, "诺基亚", "甲店", 10, 5); // 50
    product(2, "钢笔", "甲店", 100, 1); // 100
    product(3, "诺基亚", "乙店", 10, 6); // 60
    product(4, "Levi's", "乙店", 0.5, 3); // 1.5

    GridModel grid;
    AnalysisResult result = CompareTradeTotals(
        grid, *m_db, TotalsGrouping::Product, TotalsMeasure::Amount, m_measure);
    ASSERT_TRUE(result.ready);
    EXPECT_EQ(titles(grid), (QStringList { "序号", "产品", "交易金额" }));
    EXPECT_EQ(grid.fieldName(1), "P_Name");
    EXPECT_EQ(grid.fieldName(2), "Sm");
    EXPECT_EQ(column(grid, 1), (QStringList { "诺基亚", "钢笔", "Levi's" }));
    EXPECT_EQ(column(grid, 2), (QStringList { "110.00", "100.00", "1.50" }));
    EXPECT_TRUE(
        result.title.startsWith("淘宝产品销售情况分析图表\r\n（数据来源：Dovrel软件；统计日期："));
    EXPECT_TRUE(result.title.endsWith("；按产品）"));

    result
        = CompareTradeTotals(grid, *m_db, TotalsGrouping::Shop, TotalsMeasure::Quantity, m_measure);
    EXPECT_EQ(titles(grid), (QStringList { "序号", "店铺", "交易数量" }));
    EXPECT_EQ(column(grid, 1), (QStringList { "乙店", "甲店" }));
    EXPECT_EQ(column(grid, 2), (QStringList { "9", "6" }));
    EXPECT_EQ(column(grid, 0), (QStringList { "1", "2" }));
    EXPECT_TRUE(result.title.endsWith("；按店铺）"));
}

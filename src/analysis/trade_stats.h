#pragma once

#include "analysis/analysis_run.h"
#include "analysis/period_bounds.h"

#include <QString>

namespace quel::store {
class DB_Operate;
}
namespace quel::grid {
class GridModel;
class TextMeasure;
} // namespace quel::grid

namespace quel::analysis {

// What the period comparison sums per period: amount (Pri x Num), quantity, or the
// average price (amount / quantity, 0 without quantity).
enum class TradeMeasure
{
    Amount, // "Sm"
    Quantity, // "Num"
    Average // "Av"
};

// What one line of the period comparison stands for: a short product name (products of
// the same short name together) or a shop.
enum class TradeSeries
{
    Product, // P_Name
    Shop // SName
};

struct PeriodComparison
{
    PeriodUnit unit = PeriodUnit::Month;
    TradeMeasure measure = TradeMeasure::Amount;
    TradeSeries series = TradeSeries::Product;
};

// The column of TEMP_Trade1 a measure reads: "Sm", "Num", "Av".
QString tradeMeasureField(TradeMeasure measure);
// The product-table column a series groups by: "P_Name", "SName".
QString tradeSeriesField(TradeSeries series);

// The period comparison: the trades of the chosen products (picker tag, "；"-separated
// identifiers) summed per series and period into TEMP_Trade1, one row per series and
// period, and the grid "序号", "日期", one column per series. Every series runs over the
// same periods, from the period of the earliest chosen trade to that of the latest, with
// zeros where it has no trades. Not ready (grid and tables untouched) when no product is
// chosen, the chosen products have no trades, or the database failed (then with a message).
AnalysisResult CompareTradesByPeriod(grid::GridModel& grid, store::DB_Operate& db,
    const QString& idList, const PeriodComparison& options, const grid::TextMeasure& measure);

// How the totals comparison groups all products, and what it ranks them by.
enum class TotalsGrouping
{
    Product, // "产品", P_Name
    Shop // "店铺", SName
};
enum class TotalsMeasure
{
    Amount, // "交易金额", Sm = SUM(Price*Num9)
    Quantity // "交易数量", Num = SUM(Num9)
};

QString totalsGroupingCaption(TotalsGrouping grouping);
QString totalsGroupingField(TotalsGrouping grouping);
QString totalsMeasureCaption(TotalsMeasure measure);
QString totalsMeasureField(TotalsMeasure measure);

// Rebuilds TEMP_Total: per group, the amount of the last 90 days (price x 90-day sales)
// and the 90-day quantity, from the product table. Part of the caller's run.
bool BuildTradeTotalTable(WorkTableRun& run, TotalsGrouping grouping);

// The totals comparison: TEMP_Total shown largest first by the measure, in the grid
// "序号", grouping, measure.
AnalysisResult CompareTradeTotals(grid::GridModel& grid, store::DB_Operate& db,
    TotalsGrouping grouping, TotalsMeasure totalsMeasure, const grid::TextMeasure& measure);

} // namespace quel::analysis

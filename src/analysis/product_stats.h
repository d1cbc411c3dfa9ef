#pragma once

#include "analysis/chart_data.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <array>

namespace quel::store {
class DB_Operate;
}
namespace quel::grid {
class GridModel;
class TextMeasure;
} // namespace quel::grid

namespace quel::analysis {

// One measure box CK40(i): caption, tooltip, the 产品表 column it measures (the box's tag)
// and its name on the command line.
struct ProductMeasure
{
    const char* caption;
    const char* tooltip;
    const char* column;
    const char* batchName;
};
inline constexpr int kProductMeasures = 7;
const std::array<ProductMeasure, kProductMeasures>& productMeasures();

// One grouping option OP40(i): caption, tooltip, the grouping columns (the option's tag,
// comma-separated) and its name on the command line.
struct ProductGrouping
{
    const char* caption;
    const char* tooltip;
    const char* tag;
    const char* batchName;
};
inline constexpr int kProductGroupings = 4;
const std::array<ProductGrouping, kProductGroupings>& productGroupings();

// What the page's boxes and options say.
// Product statistics draw bars by default where a group is no product (grouped by category
// or by shop), lines where the points are products.
ChartMark productChartMark(int grouping);

struct ProductStatsOptions
{
    std::array<bool, kProductMeasures> measures {};
    int grouping = 0; // index into productGroupings()
};

// The result grid's two heading rows: fields (row 0) and captions (row 1). Columns:
// the shop (a field only for "产品/店铺"), "序号", the grouping, then each checked measure.
struct ProductHeadings
{
    QStringList fields;
    QStringList titles;
};
ProductHeadings BuildProductStatisticsHeadings(const ProductStatsOptions& options);

// "Price DESC" for the checked measure of lowest index, then the group columns (ties stay
// in name order); empty when none is checked.
QString ProductStatisticsOrder(
    const ProductStatsOptions& options, const QString& groupColumns = {});

// Drops, creates and fills TEMP_PAna: one row per group of 产品表 by the grouping columns
// `tag` (e.g. "SName,P_Name"), with the averages of price, postage and discount and the sums
// of the counts. Groups follow the database's text comparison (letter case ignored).
// False when a statement failed.
bool BuildProductAnalysisTable(store::DB_Operate& db, const QString& tag);

// "淘宝产品销售情况分析图表" CR LF "（数据来源：Dovrel软件；统计日期：2026-12-7）".
QString ProductChartTitle(const QDate& today);

// The whole analysis but the drawing: headings, TEMP_PAna, the grid filled from it in the
// order of the first checked measure, "short name(shop)" labels for the grouping by shop and
// product, three fixed columns. Progress and messages go to the database's feedback.
// Returns the chart title.
QString RunProductStatistics(grid::GridModel& grid, store::DB_Operate& db,
    const ProductStatsOptions& options, const grid::TextMeasure& measure,
    const QDate& today = QDate::currentDate());

// Reads "--measures price,sales --group shop-product" (both required; an empty measure list
// checks none). False with a message naming the fault otherwise.
bool ParseProductStatsArguments(
    const QStringList& arguments, ProductStatsOptions& options, QString* error);
QString ProductStatsUsage();

} // namespace quel::analysis

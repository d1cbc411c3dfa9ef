#pragma once

#include <QColor>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

namespace quel::store {
class DB_Operate;
}
namespace quel::grid {
class GridModel;
} // namespace quel::grid

namespace quel::analysis {

// One measure option of the trend page: caption, the 价格历史 column it follows and its
// name on the command line.
struct TrendMeasure
{
    const char* caption;
    const char* column;
    const char* batchName;
};
inline constexpr int kTrendMeasures = 5;
const std::array<TrendMeasure, kTrendMeasures>& trendMeasures();

// A day's figure of one product: observed that day, or carried over from the last
// observation before it (no observation that day), or unknown (before the first one).
struct TrendCell
{
    std::optional<double> value;
    bool carried = false;
};

// The trend of the chosen products: one row per day from the first to the last day any of
// them was observed with the measure, one column per product.
struct TrendTable
{
    std::vector<QDate> days;
    QStringList names; // "short name(shop)", per product in the order asked
    std::vector<std::vector<TrendCell>> cells; // [product][day]
};

// Reads the history of the products (IDs in the order given; unknown IDs are left out) for
// one measure. False with a message when the database cannot be read.
bool BuildTrendTable(store::DB_Operate& db, const QList<qint64>& ids, int measure,
    TrendTable& table, QString* error);

// Carried-over figures are shown in this colour, so that they read as no observation.
QColor CarriedColour();

// Puts the table into the grid: the heading rows, the column "日期" (the chart's point
// labels), one column per product with its figures, carried ones in CarriedColour.
void FillTrendGrid(grid::GridModel& grid, const TrendTable& table);

// "淘宝产品价格走势图表" CR LF "（数据来源：Dovrel软件；统计日期：2026-12-7）".
QString TrendChartTitle(int measure, const QDate& today);

// The whole analysis but the drawing; the chart title. An empty result (no product chosen,
// no observation) leaves the grid with its headings and says so through the database's
// feedback. False when the database cannot be read.
bool RunPriceTrend(grid::GridModel& grid, store::DB_Operate& db, const QList<qint64>& ids,
    int measure, QString& title, QString* error, const QDate& today = QDate::currentDate());

struct TrendOptions
{
    QList<qint64> ids;
    int measure = 0;
};
// Reads "--products 3,7,12 [--measure price|sales|sales90|views|favourites]"; false with a
// message naming the fault otherwise.
bool ParseTrendArguments(const QStringList& arguments, TrendOptions& options, QString* error);
QString TrendUsage();

} // namespace quel::analysis

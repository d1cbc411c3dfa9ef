#pragma once

#include "analysis/analysis_run.h"

#include <QDate>
#include <QString>

namespace quel::store {
class DB_Operate;
}
namespace quel::grid {
class GridModel;
class TextMeasure;
} // namespace quel::grid

namespace quel::analysis {

// What the buyers of the chosen products are counted by.
enum class CustomerGrouping
{
    Province, // "省份": Prov
    Region, // "区域": Regi, heading "地区"
    Credit, // "信用度": BLevel, heading "买家信用"
    Activity // "活跃度": lDat, heading "最近登录"
};

// How the groups stand: in their own order (credit levels ascending, last logins in
// recency bands newest first; provinces and regions by count), or all by count, largest
// first, one group per distinct value ("按数量排序").
enum class CustomerOrder
{
    Natural,
    Count
};

// The recency bands of last logins, counted back from the newest login of the set.
inline constexpr int kRecencyBands = 6;
// The band of a login: 0 "一周内" (at most 7 days before the newest), 1 "一月内", 2 "三月内",
// 3 "半年内", 4 "一年内" (calendar months and a year back, each edge inside its band), 5
// "更早"; -1 for no date.
int recencyBand(const QDate& newest, const QDate& login);
QString recencyBandName(int band);

QString customerGroupingCaption(CustomerGrouping grouping);
QString customerGroupingField(CustomerGrouping grouping);
QString customerGroupingHeading(CustomerGrouping grouping);

// Builds the buyer set of the chosen products (picker tag): TEMP_Trade2 with the code,
// province, region, credit and last login of their buyers, each buyer once, only those
// whose profile was downloaded. The
// set stays for recounts. False (the previous set untouched) when no product is chosen or
// the database failed (then with a message).
bool PrepareCustomerSet(store::DB_Operate& db, const QString& idList);

// Counts the prepared buyer set by one column into TEMP_Trade3 and shows it in the order
// asked for: "序号", heading, "用户数". Not ready when no set was prepared.
AnalysisResult RunCustomerStatistics(grid::GridModel& grid, store::DB_Operate& db,
    CustomerGrouping grouping, const grid::TextMeasure& measure,
    CustomerOrder order = CustomerOrder::Natural);

} // namespace quel::analysis

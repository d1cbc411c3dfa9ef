#pragma once

#include "analysis/analysis_run.h"

#include <QString>

namespace quel::store {
class DB_Operate;
}
namespace quel::views {
class GridModel;
class TextMeasure;
} // namespace quel::views

namespace quel::analysis {

// What the buyers of the chosen products are counted by.
enum class CustomerGrouping
{
    Province, // "省份": Prov
    Region, // "区域": Regi, heading "地区"
    Credit, // "信用度": BLevel, heading "买家信用"
    Activity // "活跃度": lDat, heading "最近登录"
};

QString customerGroupingCaption(CustomerGrouping grouping);
QString customerGroupingField(CustomerGrouping grouping);
QString customerGroupingHeading(CustomerGrouping grouping);

// Builds the buyer set of the chosen products (picker tag): TEMP_Trade2 with the code,
// province, region, credit and last login of their buyers, each buyer once, only those
// whose profile was downloaded. The
// set stays for recounts. False (the previous set untouched) when no product is chosen or
// the database failed (then with a message).
bool PrepareCustomerSet(store::DB_Operate& db, const QString& idList);

// Counts the prepared buyer set by one column into TEMP_Trade3 and shows it largest group
// first: "序号", heading, "用户数". Not ready when no set was prepared.
AnalysisResult RunCustomerStatistics(views::GridModel& grid, store::DB_Operate& db,
    CustomerGrouping grouping, const views::TextMeasure& measure);

} // namespace quel::analysis

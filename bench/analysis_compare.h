#pragma once

#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <functional>
#include <vector>

struct sqlite3;

namespace quel::db {
class Database;
} // namespace quel::db

namespace quel::store {
class DB_Operate;
} // namespace quel::store
namespace quel::grid {
class GridModel;
class TextMeasure;
} // namespace quel::grid

namespace quel::bench {

// Best of `runs` runs of `work`, in milliseconds of this process's processor time (user and
// system, all threads): on a machine whose cores are shared, wall time mostly measures the
// neighbours. The databases are in the page cache, so no disk wait goes uncounted.
double bestCpuMs(int runs, const std::function<void()>& work);

// One analysis timed the way its page runs it (work tables, grid, column fitting) against
// the same aggregation written as one SQL query read to its last value on the raw handle,
// and whether the two agree.
struct AnalysisTiming
{
    double ours = 0;
    double sql = 0;
    bool match = false;
    int rows = 0; // rows of the query's result
    double ratio() const { return ours / std::max(sql, 1e-3); }
};

// What the comparisons run on: the database's own handle for the queries, the operations
// the pages use, a grid and the width measure for the column fitting.
struct AnalysisBench
{
    db::Database& db;
    store::DB_Operate& ops;
    grid::GridModel& grid;
    const grid::TextMeasure& measure;
    int runs = 3;
    // Called with the analysis' name once its grid shows the result (empty: nothing).
    std::function<void(const QString&)> shown = {};
};

// Product statistics with all seven measures, for one of the groupings (index into
// analysis::productGroupings()).
AnalysisTiming compareProductStatistics(const AnalysisBench& bench, int grouping);

// The period comparison of the chosen products by day and amount, per short name.
AnalysisTiming comparePeriods(const AnalysisBench& bench, const std::vector<qint64>& ids);

// The totals comparison of all products by short name and amount.
AnalysisTiming compareTotals(const AnalysisBench& bench);

// The buyer set of the chosen products counted by province.
AnalysisTiming compareCustomers(const AnalysisBench& bench, const std::vector<qint64>& ids);

// The sales cycle of the chosen products over the days of the month, by amount.
AnalysisTiming compareSalesCycle(const AnalysisBench& bench, const std::vector<qint64>& ids);

// The market overview of one category (empty: every product) as its page computes it
// (figures, grid, chart descriptions) against the same aggregates as raw SQL queries, one
// after the other: listing totals, the median price, the shops, the price bands, the weeks,
// the downloaded products and the buyers' provinces.
AnalysisTiming compareOverview(const AnalysisBench& bench, const QString& category);

// The picker tag of a list of product identifiers: "5；12；".
QString pickerTag(const std::vector<qint64>& ids);

} // namespace quel::bench

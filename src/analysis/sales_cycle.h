#pragma once

#include "analysis/analysis_run.h"

#include <QString>

namespace quel::store {
class DB_Operate;
}
namespace quel::grid {
class GridModel;
class TextMeasure;
} // namespace quel::grid

namespace quel::analysis {

// The cycle the trades are folded onto.
enum class CycleKind
{
    DaysOfMonth, // "按月/天": 1日 .. 31日
    DaysOfWeek, // "按周/天": 周1 (Monday) .. 周7 (Sunday)
    HoursOfDay // "按天/时": 0点 .. 23点
};

enum class CycleMeasure
{
    Quantity, // "按数量", column "售出件数"
    Amount // "按金额", column "售出金额"
};

// The caption of the cycle's option button ("按月/天", "按周/天", "按天/时").
QString cycleCaption(CycleKind kind);

// Lays the result grid out for the cycle: one fixed heading row, two fixed columns,
// "序号", the cycle's heading, the measure's heading, and one row per position of the
// cycle with its label and "0".
void SetupCycleGrid(grid::GridModel& grid, CycleKind kind, CycleMeasure measure);

// Folds the chosen products' trades (picker tag) onto the cycle: TEMP_SalesCyc gets their
// date and amount or quantity, summed per position. The range boxes are set to the whole
// cycle (rangeStart/rangeEnd of the result). No product chosen: every row stays "0". Not
// ready only when the database failed (then with a message).
AnalysisResult RunSalesCycleAnalysis(grid::GridModel& grid, store::DB_Operate& db,
    const QString& idList, CycleKind kind, CycleMeasure cycleMeasure,
    const grid::TextMeasure& measure);

} // namespace quel::analysis

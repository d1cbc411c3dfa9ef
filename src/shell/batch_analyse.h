#pragma once

#include "analysis/chart_layout.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QTextStream;

namespace quel::core {
class Feedback;
}
namespace quel::store {
class DB_Operate;
}
namespace quel::grid {
class GridModel;
} // namespace quel::grid

namespace quel::shell {

struct BatchContext;

// "quelmar --batch analyse KIND KIND-ARGS --out FILE [--chart FILE.jpg] [--size WxH]
// [--rows FIRST-LAST]": one analysis run headless into an offscreen result grid, written
// the way the export menus write grids and charts.

// What every kind shares: the table file (.csv gives CSV, anything else a workbook), the
// chart picture, its size in pixels and the data rows it shows (the page's 1 to 40 unless
// given).
// How --style draws the chart: as the page draws it by default, as lines or bars (each with
// panels where the page would choose them), in panels, or as one line chart on one axis.
enum class AnalyseStyle
{
    Page,
    Lines,
    Bars,
    Panels,
    Single
};

struct AnalyseOutput
{
    QString out;
    QString chart;
    QSize size { 900, 600 };
    int firstRow = 1;
    int lastRow = 40;
    AnalyseStyle style = AnalyseStyle::Page;
};

// What the chart of an analysis draws: its title and the kind of chart its page draws.
struct AnalyseChart
{
    QString title;
    analysis::ChartMark mark = analysis::ChartMark::Line;
    // Pages 0 and 1 choose panels for series far apart in size.
    bool panels = false;
};

// The drawing options of a style over the page's own choice.
analysis::ChartOptions AnalyseChartOptions(AnalyseStyle style, const AnalyseChart& chart);

// Takes the shared options out of the arguments and leaves the rest, in order, for the
// kind. False with a message for a missing --out or a malformed value.
bool ParseAnalyseOutput(
    const QStringList& arguments, AnalyseOutput& output, QStringList& rest, QString* error);

// An analysis bound to its arguments: fills the grid and names the chart's title. False
// with a message when the analysis could not run.
using AnalyseRunner = std::function<bool(
    store::DB_Operate& db, grid::GridModel& grid, AnalyseChart& chart, QString* error)>;

// One kind of analysis: its name, the usage text of its own arguments, and the parser that
// binds them to a runner (an empty runner and a message for bad arguments).
struct AnalyseKind
{
    QString name;
    QString usage;
    std::function<AnalyseRunner(const QStringList& arguments, QString* error)> parse;
};

// Every kind (the table lives in batch_analyse.cpp; a new analysis adds its line there).
const std::vector<AnalyseKind>& analyseKinds();

// The usage lines of the analyse command, one per kind.
QString AnalyseUsage();

// Writes the filled grid to output.out as the table export does (the caption row first,
// never the hidden field names) and, with output.chart, draws the grid's chart at
// output.size in the asked style and saves it by the name's extension (.png, .svg, else
// JPEG as the picture export does). Files are replaced without a question. 0 on success, 1
// with a message on err when a file could not be written.
int RunAnalyseOutput(const grid::GridModel& grid, const AnalyseChart& chart,
    const AnalyseOutput& output, core::Feedback& feedback, QTextStream& err);

// The whole command: 2 with the usage for bad arguments, 1 when the database cannot be
// opened or the analysis or a file fails, 0 on success.
int RunAnalyseBatch(BatchContext& context, const QStringList& arguments);

} // namespace quel::shell

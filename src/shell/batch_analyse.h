#pragma once

#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QTextStream;

namespace quel {
class Feedback;
}
namespace quel::store {
class DB_Operate;
}
namespace quel::views {
class GridModel;
}

namespace quel::shell {

struct BatchContext;

// "quelmar --batch analyse KIND KIND-ARGS --out FILE [--chart FILE.jpg] [--size WxH]
// [--rows FIRST-LAST]": one analysis run headless into an offscreen result grid, written
// the way the export menus write grids and charts.

// What every kind shares: the table file (.csv gives CSV, anything else a workbook), the
// chart picture, its size in pixels and the data rows it shows (the page's 1 to 40 unless
// given).
struct AnalyseOutput
{
    QString out;
    QString chart;
    QSize size { 900, 600 };
    int firstRow = 1;
    int lastRow = 40;
};

// Takes the shared options out of the arguments and leaves the rest, in order, for the
// kind. False with a message for a missing --out or a malformed value.
bool ParseAnalyseOutput(
    const QStringList& arguments, AnalyseOutput& output, QStringList& rest, QString* error);

// An analysis bound to its arguments: fills the grid and names the chart's title. False
// with a message when the analysis could not run.
using AnalyseRunner = std::function<bool(
    store::DB_Operate& db, views::GridModel& grid, QString& title, QString* error)>;

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
// output.size and saves it as the picture export does. Files are replaced without a
// question. 0 on success, 1 with a message on err when a file could not be written.
int RunAnalyseOutput(const views::GridModel& grid, const QString& title,
    const AnalyseOutput& output, Feedback& feedback, QTextStream& err);

// The whole command: 2 with the usage for bad arguments, 1 when the database cannot be
// opened or the analysis or a file fails, 0 on success.
int RunAnalyseBatch(BatchContext& context, const QStringList& arguments);

} // namespace quel::shell

#include "core/feedback.h"
#include "exports/grid_export.h"
#include "exports/save_through.h"
#include "grid/grid_model.h"

#include <QIODevice>

namespace quel::exports {

namespace {

// Progress is reported in blocks of rows: a step per row would cost more than the row.
constexpr long kRowsPerStep = 256;

} // namespace

ShownCells shownCells(const grid::GridModel& grid)
{
    ShownCells shown;
    for (int r = 0; r < grid.rows(); ++r) {
        if (grid.rowHeight(r) >= 1)
            shown.rows.push_back(r);
    }
    for (int c = 0; c < grid.cols(); ++c) {
        if (grid.columnWidth(c) >= 1)
            shown.cols.push_back(c);
    }
    return shown;
}

bool gridHasData(const grid::GridModel& grid)
{
    return grid.cols() > 0 && grid.hasDataRows();
}

bool isCsvPath(const QString& path)
{
    return path.right(3).toLower() == QLatin1String("csv");
}

QString CsvField(const QString& text)
{
    QString field = text;
    field.replace(u'"', QStringLiteral("\"\""));
    if (field.contains(u',') || field.contains(u'"'))
        field = u'"' + field + u'"';
    // A line break would end the record early, whichever form it takes.
    field.remove(QStringLiteral("\r\n"));
    field.remove(u'\r');
    field.remove(u'\n');
    return field;
}

bool WriteGridCsvTo(
    const grid::GridModel& grid, QIODevice& out, core::Feedback& feedback, QString* error)
{
    const ShownCells shown = shownCells(grid);
    feedback.indicatorStart(QStringLiteral("正在导出数据至CSV格式文件……"), grid.rows(), 0);
    QByteArray bytes("\xEF\xBB\xBF");
    long pending = 0;
    bool written = true;
    for (int r = 0; r < grid.rows() && written; ++r) {
        if (++pending == kRowsPerStep) {
            feedback.indicatorStep(pending, QString());
            pending = 0;
        }
        if (grid.rowHeight(r) < 1)
            continue;
        QString line;
        bool firstField = true;
        for (const int c : shown.cols) {
            if (!firstField)
                line += u',';
            firstField = false;
            line += CsvField(grid.text(r, c));
        }
        line += QStringLiteral("\r\n");
        bytes += line.toUtf8();
        if (bytes.size() > (1 << 20)) {
            written = WriteAll(out, bytes, error);
            bytes.clear();
        }
    }
    if (pending > 0)
        feedback.indicatorStep(pending, QString());
    written = written && WriteAll(out, bytes, error);
    feedback.indicatorClose();
    return written;
}

bool WriteGridCsv(
    const grid::GridModel& grid, const QString& path, core::Feedback& feedback, QString* error)
{
    return SaveThrough(
        path,
        [&](QIODevice& out, QString* why) { return WriteGridCsvTo(grid, out, feedback, why); },
        error);
}

bool WriteGridFile(const grid::GridModel& grid, const QString& path, const QString& sheetName,
    core::Feedback& feedback, QString* error)
{
    if (isCsvPath(path))
        return WriteGridCsv(grid, path, feedback, error);
    return WriteGridExcel(grid, path, sheetName, feedback, error);
}

} // namespace quel::exports

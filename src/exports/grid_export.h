#pragma once

#include <QString>
#include <vector>

class QIODevice;
#include <vector>

namespace quel::core {
class Feedback;
}
namespace quel::grid {
class GridModel;
} // namespace quel::grid

namespace quel::exports {

// The sheet name of every exported workbook.
inline const QString kSheetName = QStringLiteral("淘宝交易数据分析");

// What an export writes: the rows of height at least 1 and the columns of width at least 1
// (so the hidden field-name row never reaches a file), in grid order.
struct ShownCells
{
    std::vector<int> rows;
    std::vector<int> cols;
};
ShownCells shownCells(const grid::GridModel& grid);

// True when the grid has a row below its headings ("表格中没有数据！" otherwise).
bool gridHasData(const grid::GridModel& grid);

// A path whose last three characters are "csv" in any case gets CSV; anything else a
// workbook.
bool isCsvPath(const QString& path);

// One CSV field: quotes doubled; enclosed in quotes when it then holds a comma or a quote;
// line breaks removed.
QString CsvField(const QString& text);

// The CSV bytes of what the grid shows, into a device; false (error saying why) when a
// write fails.
bool WriteGridCsvTo(const grid::GridModel& grid, QIODevice& out, core::Feedback& feedback,
    QString* error = nullptr);

// Writes what the grid shows as CSV: UTF-8 with a byte-order mark, fields separated by ",",
// lines ended by CR LF. The file is replaced only when complete; on failure (a full disk
// included) the old file stays and error says why ("磁盘已满").
bool WriteGridCsv(const grid::GridModel& grid, const QString& path, core::Feedback& feedback,
    QString* error = nullptr);

// The number a cell's text stands for when it is a plain decimal number ("12", "-3.50"),
// as a spreadsheet reads typed text; decimals receives the number of digits after the
// point. Texts with leading zeros ("007") or more than 15 significant digits stay text, since
// a number would lose what they show.
bool plainNumber(const QString& text, double* value, int* decimals);

// Writes what the grid shows as an OOXML workbook with one sheet: shown rows and columns
// packed, heading rows bold on RGB(255,192,128) setting the column widths (twips / 123),
// plain numbers as numbers, thin borders on the used area. Replaced only when complete.
bool WriteGridExcel(const grid::GridModel& grid, const QString& path, const QString& sheetName,
    core::Feedback& feedback, QString* error = nullptr);

// The workbook bytes of what the grid shows, into a device; false (error saying why) when
// the workbook cannot be built or a write fails.
bool WriteGridExcelTo(const grid::GridModel& grid, QIODevice& out, const QString& sheetName,
    core::Feedback& feedback, QString* error = nullptr);

// WriteGridCsv or WriteGridExcel by the path's extension.
bool WriteGridFile(const grid::GridModel& grid, const QString& path, const QString& sheetName,
    core::Feedback& feedback, QString* error = nullptr);

} // namespace quel::exports

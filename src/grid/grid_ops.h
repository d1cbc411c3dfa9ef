#pragma once

#include "grid/grid_model.h"

#include <QColor>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <utility>

namespace quel::core {
class Feedback;
}

namespace quel::grid {

class TextMeasure;

// Texts the grids give meaning to.
inline const QString kSerialTitle = QStringLiteral("序号");
inline const QString kCheckMark = QStringLiteral("√");
inline const QString kSortUp = QStringLiteral("△");
inline const QString kSortDown = QStringLiteral("▽");

// Column codes: 4 and above sort as numbers.
inline constexpr int kCodeText = 0;
inline constexpr int kCodeFirstColumn = 2;
inline constexpr int kCodeLevel = 4; // credit levels, the selection column
inline constexpr int kCodeNumber = 8; // prices, amounts, counts
inline constexpr int kFirstNumericCode = 4;

// --- headings and column pickers ------------------------------------------------------

// Lays the grid out for a list: one column per field name, two fixed heading rows (row 0
// the field names, hidden; row 1 the titles), no data rows, 2 fixed columns from 3
// columns on (else 1), every column code 0. Does nothing when the lists differ in length.
bool setGridColumns(GridModel& grid, const QStringList& fields, const QStringList& titles);

// One entry per non-fixed column: the column number, "|", the title ("5|价格"). Empty for
// a grid without fixed rows.
QStringList columnComboEntries(const GridModel& grid);

// The number a column entry such as "7|价格" starts with (0 when none).
int leadingColumnNumber(const QString& entry);

// The leading number of a text, read the way the grid's numeric sort and the statistics
// read cells: blanks skipped, then an optional sign, digits, a decimal point and an
// exponent; anything after that is ignored. 0 when the text does not start with one.
double leadingNumber(QStringView text);
inline double leadingNumber(const QString& text)
{
    return leadingNumber(QStringView(text));
}

// --- cell texts -----------------------------------------------------------------------

// Display text of a value: a date (1 Jan 1900 is "never" and shows empty) as 2010.04.12
// or 2010.04.12 10:20; true/false as a check mark; a floating value rounded to two
// decimals (halves to even); anything else as its plain text.
QString formatCellValue(const QVariant& value, bool dateOnly);
// The same for a date and time of the day.
QString dateCellText(const QDate& date, const QTime& time, bool dateOnly);

// Text of one field as the fill puts it into a cell: whole numbers plainly, floating
// values with two decimals, dates and true/false through formatCellValue, everything else
// as plain text (NULL as the empty text).
QString cellTextForValue(const QVariant& value, bool dateOnly);

// "√" for a true or non-zero value, else empty.
QString checkMarkText(const QVariant& value);

// "" becomes "√", anything else becomes "".
QString toggleCheckMark(const QString& text);

// --- layout ---------------------------------------------------------------------------

// Fits every column to its widest text (rows firstRow .. end, and the title when the
// column has any text). Columns left of the serial-number column are hidden, empty
// columns get 50 twips, no column gets more than half the grid's width. Above 200 rows
// and with showProgress, the progress window reports one step per column.
void autoSizeColumns(GridModel& grid, int firstRow, bool showProgress, core::Feedback& feedback,
    const TextMeasure& measure);
// The same fitting for one column, after its texts changed.
void autoSizeColumn(GridModel& grid, int col, int firstRow, const TextMeasure& measure);

// Column whose title is "序号" among columns 0 .. fixedCols, or -1.
int serialColumn(const GridModel& grid);

// Writes 1, 2, 3 ... into the serial-number column (column fixedCols - 1 without one).
void renumberSerialColumn(GridModel& grid);

// --- sorting and mouse ----------------------------------------------------------------

// Sorts the data rows by one column: numeric columns (code 4 and up) start ascending,
// text columns descending; each further call on the same column reverses. The title gets
// "△" after a numeric ascending or text descending sort, "▽" otherwise; all other sort
// marks are removed and the serial column renumbered.
void sortByColumn(GridModel& grid, int col);

// The cell under a point given in twips from the grid's top-left corner: heading rows
// first, then rows from the first visible one; likewise for columns. A point below the
// last row gives row = rows(), right of the last column col = cols().
GridCell cellAtPoint(const GridModel& grid, int xTwips, int yTwips);

// A left press on the grid: a press on a heading sorts by that column, a press on the
// "序号" heading refits the columns to the data rows. Presses on data rows do nothing.
void gridHeaderClicked(
    GridModel& grid, GridCell cell, core::Feedback& feedback, const TextMeasure& measure);

// Ticks rows in the selection column (column fixedCols) for a press at `cell`. `shift`
// is true when Shift alone was held. Without multi-select one row is ticked at a time;
// with it a press toggles the row, a press on the heading toggles every row, and a
// Shift-press gives every row between the current row and the pressed one the toggle of
// the current row's mark.
void clickCheckMark(GridModel& grid, bool shift, GridCell cell, bool multiSelect);

// --- rows and cells -------------------------------------------------------------------

// Removes the data rows first .. last (grid rows, either order, clamped to the data) from
// the display. With confirm, asks "您确定要删除第i至第j行？" first. The texts of the
// column next to the data (fixedCols - 1, the serial numbers) stay where they are.
// Returns whether rows were removed.
bool deleteGridRows(GridModel& grid, int first, int last, bool confirm, core::Feedback& feedback);

// Swaps a and b when b is numerically smaller.
template <typename T> void orderPair(T& a, T& b)
{
    if (b < a)
        std::swap(a, b);
}

// A colour given the way the lists write them: 0x00BBGGRR (255 is red, 0xBBBBBB grey).
inline QColor colourFromBgr(unsigned long bgr)
{
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
        static_cast<int>((bgr >> 16) & 0xFF));
}

// Colours one cell's text (foreground) or background. Black is stored as 0x010101 so it
// can never be taken for the default colour.
void setCellColor(GridModel& grid, int row, int col, const QColor& colour, bool foreground);

// The largest number (leading-number reading) in a block of cells, never below 0. A first
// row below 0 means the first data row, a last row below 0 the last row.
double maxCellValue(const GridModel& grid, int firstCol, int lastCol, int firstRow, int lastRow);

} // namespace quel::grid

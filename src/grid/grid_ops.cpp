#include "grid/grid_ops.h"

#include "core/feedback.h"
#include "grid/text_measure.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>

namespace quel::grid {

namespace {

constexpr int kProgressRowThreshold = 200;
constexpr int kEmptyColumnWidth = 50;
constexpr int kWidthPadding = 100;

const QDate kNeverDate(1900, 1, 1);

bool isNumericColumn(const GridModel& grid, int col)
{
    return grid.columnCode(col) >= kFirstNumericCode;
}

QString withoutSortMarks(QString title)
{
    title.remove(kSortUp);
    title.remove(kSortDown);
    return title;
}

// Shortest text of a number rounded to two decimals (12.5, 100, 0.25).
QString shortDecimal(double value)
{
    QString text = QString::number(value, 'f', 2);
    if (text.contains(u'.')) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

} // namespace

// --- headings and column pickers ------------------------------------------------------

bool setGridColumns(GridModel& grid, const QStringList& fields, const QStringList& titles)
{
    if (fields.size() != titles.size())
        return false;
    const int n = static_cast<int>(fields.size());
    GridModel::BulkUpdate bulk(grid);
    grid.setRows(0);
    grid.setCols(n);
    grid.setRows(2);
    grid.setFixedRows(2);
    grid.setFixedCols(n >= 3 ? 2 : 1);
    for (int c = 0; c < n; ++c) {
        grid.setText(0, c, fields[c]);
        grid.setText(1, c, titles[c]);
        grid.setColumnCode(c, kCodeText);
    }
    grid.setRowHeight(0, 0);
    grid.setCurrentCell(1, grid.fixedCols());
    return true;
}

QStringList columnComboEntries(const GridModel& grid)
{
    QStringList entries;
    if (grid.fixedRows() < 1)
        return entries;
    for (int c = grid.fixedCols(); c < grid.cols(); ++c)
        entries << QString::number(c) + u'|' + grid.title(c);
    return entries;
}

int leadingColumnNumber(const QString& entry)
{
    return static_cast<int>(leadingNumber(entry));
}

double leadingNumber(QStringView text)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    QByteArray number;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        number += static_cast<char>(text[i++].unicode());
    bool digits = false;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
        number += static_cast<char>(text[i++].unicode());
        digits = true;
    }
    if (i < n && text[i] == u'.') {
        number += '.';
        ++i;
        while (i < n && text[i].unicode() < 128 && text[i].isDigit()) {
            number += static_cast<char>(text[i++].unicode());
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        QByteArray exponent = "e";
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            exponent += static_cast<char>(text[j++].unicode());
        bool expDigits = false;
        while (j < n && text[j].unicode() < 128 && text[j].isDigit()) {
            exponent += static_cast<char>(text[j++].unicode());
            expDigits = true;
        }
        if (expDigits)
            number += exponent;
    }
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

// --- cell texts -----------------------------------------------------------------------

QString dateCellText(const QDate& date, const QTime& time, bool dateOnly)
{
    if (!date.isValid() || !time.isValid() || date == kNeverDate)
        return {};
    // One conversion from the day number for all three parts.
    int year = 0;
    int month = 0;
    int day = 0;
    date.getDate(&year, &month, &day);
    if (year < 1 || year > 9999) {
        return QDateTime(date, time)
            .toString(dateOnly ? QStringLiteral("yyyy.MM.dd") : QStringLiteral("yyyy.MM.dd HH:mm"));
    }
    // Written digit by digit: a grid of tens of thousands of rows shows several dates each.
    char16_t text[16];
    int n = 0;
    const auto put = [&](int value, int width) {
        for (int i = width - 1; i >= 0; --i, value /= 10)
            text[n + i] = char16_t(u'0' + value % 10);
        n += width;
    };
    put(year, 4);
    text[n++] = u'.';
    put(month, 2);
    text[n++] = u'.';
    put(day, 2);
    if (!dateOnly) {
        text[n++] = u' ';
        put(time.hour(), 2);
        text[n++] = u':';
        put(time.minute(), 2);
    }
    return QString(reinterpret_cast<const QChar*>(text), n);
}

QString formatCellValue(const QVariant& value, bool dateOnly)
{
    switch (value.typeId()) {
    case QMetaType::QDateTime:
    case QMetaType::QDate: {
        const QDateTime when = value.typeId() == QMetaType::QDate
            ? QDateTime(value.toDate(), QTime(0, 0))
            : value.toDateTime();
        if (!when.isValid())
            return {};
        return dateCellText(when.date(), when.time(), dateOnly);
    }
    case QMetaType::Bool:
        return checkMarkText(value);
    case QMetaType::Double:
    case QMetaType::Float:
        return shortDecimal(std::nearbyint(value.toDouble() * 100.0) / 100.0);
    default:
        return value.isNull() ? QString() : value.toString();
    }
}

QString cellTextForValue(const QVariant& value, bool dateOnly)
{
    if (value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::UInt:
        return QString::number(value.toInt());
    case QMetaType::LongLong:
    case QMetaType::Long:
        return QString::number(value.toLongLong());
    case QMetaType::ULongLong:
    case QMetaType::ULong:
        return QString::number(value.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(value.toDouble(), 'f', 2);
    case QMetaType::QDateTime:
    case QMetaType::QDate:
    case QMetaType::Bool:
        return formatCellValue(value, dateOnly);
    case QMetaType::QString:
        return value.toString();
    default:
        return value.toString();
    }
}

QString checkMarkText(const QVariant& value)
{
    bool on = false;
    switch (value.typeId()) {
    case QMetaType::Bool:
        on = value.toBool();
        break;
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        on = text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
            || leadingNumber(text) != 0.0;
        break;
    }
    default:
        on = !value.isNull() && value.toDouble() != 0.0;
        break;
    }
    return on ? kCheckMark : QString();
}

QString toggleCheckMark(const QString& text)
{
    return text.isEmpty() ? kCheckMark : QString();
}

// --- layout ---------------------------------------------------------------------------

int serialColumn(const GridModel& grid)
{
    for (int c = 0; c <= grid.fixedCols() && c < grid.cols(); ++c) {
        if (grid.title(c) == kSerialTitle)
            return c;
    }
    return -1;
}

namespace {

// The first column that is fitted: the serial column, else the last fixed one.
int firstFittedColumn(const GridModel& grid)
{
    const int serial = serialColumn(grid);
    return serial >= 0 ? serial : grid.fixedCols() - 1;
}

// Widths of the widest cells from firstRow on, row by row and every column at once: read
// column by column, a large grid was visited once per column. `afterSlice` runs after each
// of grid.cols() equal parts of the rows.
std::vector<int> widestCells(const GridModel& grid, int firstRow, const TextMeasure& measure,
    const std::function<void()>& afterSlice)
{
    const int cols = grid.cols();
    const int firstCol = std::max(firstFittedColumn(grid), 0);
    std::vector<int> widest(static_cast<size_t>(cols), 0);
    const int rows = grid.rows() - firstRow;
    for (int slice = 0; slice < cols; ++slice) {
        const int end = firstRow + int(qint64(rows) * (slice + 1) / cols);
        for (int r = firstRow + int(qint64(rows) * slice / cols); r < end; ++r) {
            const RowTexts& cells = grid.rowTexts(r);
            for (int c = firstCol; c < cells.count(); ++c) {
                int& w = widest[static_cast<size_t>(c)];
                w = std::max(w, measure.widthTwips(cells.at(c)));
            }
        }
        if (afterSlice)
            afterSlice();
    }
    return widest;
}

// A column's width from its widest cell (grid.fixedRows() >= 1).
int fittedWidth(const GridModel& grid, int col, int widestCell, const TextMeasure& measure)
{
    if (col < firstFittedColumn(grid))
        return 0;
    int width = widestCell;
    if (width != 0)
        width = std::max(width, measure.widthTwips(grid.text(grid.fixedRows() - 1, col)));
    width = width != 0 ? width + kWidthPadding : kEmptyColumnWidth;
    return std::min(width, grid.viewWidth() / 2);
}

// The first row whose cells count: without data rows, the headings.
int firstFittedRow(const GridModel& grid, int firstRow)
{
    return grid.hasDataRows() ? std::max(firstRow, 0) : 0;
}

} // namespace

void autoSizeColumns(GridModel& grid, int firstRow, bool showProgress, core::Feedback& feedback,
    const TextMeasure& measure)
{
    if (grid.fixedRows() < 1)
        return;
    const bool progress = showProgress && grid.rows() > kProgressRowThreshold;
    if (progress)
        feedback.indicatorStart(QStringLiteral("正在做交易数据表格进行格式设置……"), grid.cols(), 0);
    const std::vector<int> widest = widestCells(grid, firstFittedRow(grid, firstRow), measure, [&] {
        if (progress)
            feedback.indicatorStep(1, QStringLiteral("pages"));
    });
    for (int c = 0; c < grid.cols(); ++c)
        grid.setColumnWidth(c, fittedWidth(grid, c, widest[static_cast<size_t>(c)], measure));
    if (progress)
        feedback.indicatorClose();
}

void autoSizeColumn(GridModel& grid, int col, int firstRow, const TextMeasure& measure)
{
    if (grid.fixedRows() < 1 || col < 0 || col >= grid.cols())
        return;
    int widest = 0;
    // A column left of the fitted ones is hidden whatever it holds.
    if (col >= firstFittedColumn(grid)) {
        for (int r = firstFittedRow(grid, firstRow); r < grid.rows(); ++r)
            widest = std::max(widest, measure.widthTwips(grid.textView(r, col)));
    }
    grid.setColumnWidth(col, fittedWidth(grid, col, widest, measure));
}

void renumberSerialColumn(GridModel& grid)
{
    int col = serialColumn(grid);
    if (col < 0)
        col = grid.fixedCols() - 1;
    if (col < 0)
        return;
    GridModel::BulkUpdate bulk(grid);
    for (int r = grid.fixedRows(); r < grid.rows(); ++r)
        grid.setText(r, col, QString::number(r - grid.fixedRows() + 1));
}

// --- sorting and mouse ----------------------------------------------------------------

void sortByColumn(GridModel& grid, int col)
{
    if (col < 0 || col >= grid.cols() || grid.fixedRows() < 1)
        return;
    const bool numeric = isNumericColumn(grid, col);
    const QString title = grid.title(col);
    const bool markedUp = title.endsWith(kSortUp);
    const bool descending = numeric ? markedUp : !markedUp;

    GridModel::BulkUpdate bulk(grid);
    for (int c = 0; c < grid.cols(); ++c) {
        const QString t = grid.title(c);
        if (t.contains(kSortUp) || t.contains(kSortDown))
            grid.setTitle(c, withoutSortMarks(t));
    }

    const int first = grid.fixedRows();
    const int n = grid.dataRowCount();
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    if (numeric) {
        std::vector<double> keys(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            keys[static_cast<size_t>(i)] = leadingNumber(grid.textView(first + i, col));
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            const double ka = keys[static_cast<size_t>(a)];
            const double kb = keys[static_cast<size_t>(b)];
            return descending ? kb < ka : ka < kb;
        });
    } else {
        // Views into the rows: nothing moves until the order is known.
        std::vector<QStringView> keys(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            keys[static_cast<size_t>(i)] = grid.textView(first + i, col);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            const int cmp = keys[static_cast<size_t>(a)].compare(
                keys[static_cast<size_t>(b)], Qt::CaseSensitive);
            return descending ? cmp > 0 : cmp < 0;
        });
    }
    grid.permuteDataRows(order);

    const bool markDown = numeric == descending;
    grid.setTitle(col, withoutSortMarks(title) + (markDown ? kSortDown : kSortUp));
    renumberSerialColumn(grid);
}

GridCell cellAtPoint(const GridModel& grid, int xTwips, int yTwips)
{
    GridCell cell;
    {
        int sum = 0;
        int r = 0;
        bool found = false;
        for (; r < grid.fixedRows(); ++r) {
            sum += grid.rowHeight(r);
            if (sum > yTwips) {
                found = true;
                break;
            }
        }
        if (!found) {
            for (r = std::max(grid.topRow(), grid.fixedRows()); r < grid.rows(); ++r) {
                sum += grid.rowHeight(r);
                if (sum > yTwips)
                    break;
            }
        }
        cell.row = std::min(r, grid.rows());
    }
    {
        int sum = 0;
        int c = 0;
        bool found = false;
        for (; c < grid.fixedCols(); ++c) {
            sum += grid.columnWidth(c);
            if (sum > xTwips) {
                found = true;
                break;
            }
        }
        if (!found) {
            for (c = std::max(grid.leftCol(), grid.fixedCols()); c < grid.cols(); ++c) {
                sum += grid.columnWidth(c);
                if (sum > xTwips)
                    break;
            }
        }
        cell.col = std::min(c, grid.cols());
    }
    return cell;
}

void gridHeaderClicked(
    GridModel& grid, GridCell cell, core::Feedback& feedback, const TextMeasure& measure)
{
    if (grid.cols() < 1 || cell.row < 0 || cell.row >= grid.fixedRows())
        return;
    const int col = std::clamp(cell.col, 0, grid.cols() - 1);
    if (grid.title(col) == kSerialTitle)
        autoSizeColumns(grid, 2, true, feedback, measure);
    else
        sortByColumn(grid, col);
}

void clickCheckMark(GridModel& grid, bool shift, GridCell cell, bool multiSelect)
{
    const int markCol = grid.fixedCols();
    if (!grid.hasDataRows() || grid.cols() <= markCol)
        return;
    if (cell.row < 0 || cell.col < 0 || cell.row >= grid.rows() || cell.col >= grid.cols()
        || cell.col > markCol)
        return;
    const int first = grid.fixedRows();
    const int last = grid.rows() - 1;

    GridModel::BulkUpdate bulk(grid);
    if (cell.row < first) {
        if (!multiSelect)
            return;
        const QString mark = toggleCheckMark(grid.text(first, markCol));
        for (int r = first; r <= last; ++r)
            grid.setText(r, markCol, mark);
        return;
    }
    if (!multiSelect) {
        for (int r = first; r <= last; ++r)
            grid.setText(r, markCol, QString());
        grid.setText(cell.row, markCol, kCheckMark);
        return;
    }
    if (!shift) {
        grid.setText(cell.row, markCol, toggleCheckMark(grid.text(cell.row, markCol)));
        return;
    }
    const int anchor = std::clamp(grid.currentRow(), first, last);
    const QString mark = toggleCheckMark(grid.text(anchor, markCol));
    int from = anchor;
    int to = cell.row;
    orderPair(from, to);
    for (int r = from; r <= to; ++r)
        grid.setText(r, markCol, mark);
}

// --- rows and cells -------------------------------------------------------------------

bool deleteGridRows(GridModel& grid, int first, int last, bool confirm, core::Feedback& feedback)
{
    if (!grid.hasDataRows())
        return false;
    orderPair(first, last);
    first = std::max(first, grid.fixedRows());
    last = std::min(last, grid.rows() - 1);
    const int count = last - first + 1;
    if (count <= 0)
        return false;
    if (confirm) {
        const QString question = QStringLiteral("您确定要删除第%1至第%2行？")
                                     .arg(first - grid.fixedRows() + 1)
                                     .arg(last - grid.fixedRows() + 1);
        if (!feedback.ask(question))
            return false;
    }
    // The column next to the data keeps its texts in place (its running numbers stay
    // 1, 2, 3 ... from the top); everything else moves up with its row.
    const int keptCol = grid.fixedCols() - 1;
    QStringList kept;
    if (keptCol >= 0) {
        for (int r = first; r < grid.rows() - count; ++r)
            kept << grid.text(r, keptCol);
    }
    GridModel::BulkUpdate bulk(grid);
    grid.removeGridRows(first, count);
    for (int i = 0; i < kept.size(); ++i)
        grid.setText(first + i, keptCol, kept[i]);
    return true;
}

void setCellColor(GridModel& grid, int row, int col, const QColor& colour, bool foreground)
{
    QColor c = colour;
    if (c.isValid() && (c.rgb() & 0xFFFFFF) == 0)
        c = QColor(1, 1, 1);
    if (foreground)
        grid.setCellForeground(row, col, c);
    else
        grid.setCellBackground(row, col, c);
}

double maxCellValue(const GridModel& grid, int firstCol, int lastCol, int firstRow, int lastRow)
{
    if (firstRow < 0)
        firstRow = grid.fixedRows();
    if (lastRow < 0)
        lastRow = grid.rows() - 1;
    orderPair(firstCol, lastCol);
    double best = 0.0;
    for (int r = firstRow; r <= lastRow; ++r) {
        for (int c = firstCol; c <= lastCol; ++c) {
            const double v = leadingNumber(grid.textView(r, c));
            if (v > best)
                best = v;
        }
    }
    return best;
}

} // namespace quel::grid

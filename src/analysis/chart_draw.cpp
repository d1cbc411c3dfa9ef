#include "analysis/chart_draw.h"

#include "views/grid_model.h"
#include "views/grid_ops.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace quel::analysis {

namespace {

constexpr double kPx = kChartTwipsPerPixel;

// Label sizes: device fonts are given in pixels, the title and value labels in points of a
// 96-dpi screen.
constexpr int kAxisLabelPixels = 12;
constexpr int kLegendPixels = 13;
int pointsToPixels(double points)
{
    return static_cast<int>(std::lround(points * 96.0 / 72.0));
}

const QColor kAxisColour(0, 0, 0);
const QColor kPointLineColour(208, 208, 208);
const QColor kDivisionLineColour(160, 160, 160);
const QColor kLabelColour(0, 0, 255);
const QColor kTitleColour(0, 0, 255);
const QColor kSubtitleColour(255, 0, 0);
const QColor kMarkerColour(255, 0, 0);

// Where a label's baseline lies below its top. Positions name the top of the character
// cell, whose height is the font's pixel height, as with the device fonts the chart was
// laid out for; the face's own ascent is taller and would push labels into what lies below
// them (the legend boxes under their names).
double baseline(const QFont& font)
{
    return font.pixelSize() * 0.88;
}

QPointF at(double xTwips, double yTwips)
{
    return { xTwips / kPx, yTwips / kPx };
}

void line(QPainter& painter, double x1, double y1, double x2, double y2)
{
    painter.drawLine(at(x1, y1), at(x2, y2));
}

QPen pen(const QColor& colour, Qt::PenStyle style = Qt::SolidLine)
{
    QPen p(colour);
    p.setWidth(1);
    p.setStyle(style);
    return p;
}

// The part of the grid one drawing shows.
struct Frame
{
    double w = 0; // chart area, twips
    double h = 0;
    int first = 0; // grid rows
    int last = 0;
    int firstCol = 0; // data columns
    int lastCol = 0;
};

double cellValue(const views::GridModel& grid, int row, int col)
{
    return views::leadingNumber(grid.text(row, col));
}

double drawAxes(QPainter& painter, const views::GridModel& grid, const Frame& f, double largest,
    ChartDrawing& report)
{
    const double left = kChartLeft;
    const double top = kChartTop;
    const double right = f.w - kChartRightMargin;
    const double bottom = f.h - kChartBottomMargin;

    painter.setPen(pen(kAxisColour));
    line(painter, left, bottom, right, bottom);
    line(painter, left, top, left, bottom);

    const double spacing
        = f.last - f.first >= 1 ? (right - left) / (f.last - f.first) : right - left;
    report.spacing = spacing;
    if (spacing > 0) {
        const int labelCol = grid.fixedCols() - 1;
        for (int i = f.first; i <= f.last; ++i) {
            const double x = left + (i - f.first) * spacing;
            painter.setPen(pen(kPointLineColour, Qt::DotLine));
            line(painter, x, top, x, bottom);
            DrawTextAt(painter, static_cast<int>(x + 180), static_cast<int>(bottom + 40),
                grid.text(i, labelCol), -90, true, kAxisLabelPixels, kLabelColour);
        }
    }

    const double unit = DivisionUnit(largest);
    report.unit = unit;
    const double division = (bottom - top) / kChartDivisions;
    for (int k = 1; k <= kChartDivisions; ++k) {
        const double y = bottom - k * division;
        painter.setPen(pen(kDivisionLineColour, Qt::DotLine));
        line(painter, left + 20, y, right, y);
        DrawTextAt(painter, static_cast<int>(left - 20), static_cast<int>(y),
            AxisNumberText(k * unit), 0, false, kAxisLabelPixels, kLabelColour);
    }
    return kChartDivisions * unit;
}

void drawSeriesLines(QPainter& painter, const views::GridModel& grid, const Frame& f,
    double axisTop, ChartDrawing& report)
{
    if (axisTop <= 0)
        return;
    const double left = kChartLeft;
    const double plotWidth = f.w - kChartLeft - kChartRightMargin;
    const double plotHeight = f.h - kChartTop - kChartBottomMargin;
    const double spacing = f.last - f.first >= 1 ? plotWidth / (f.last - f.first) : 0;
    const double floorY = kChartTop + plotHeight - 10;
    const auto yOf = [&](double v) { return kChartTop + plotHeight - v * plotHeight / axisTop; };

    // Lines first, so that every marker and value label lies on top of them. Segments with
    // both ends on the floor would only retrace the axis.
    for (int j = f.firstCol; j <= f.lastCol; ++j) {
        painter.setPen(pen(SeriesColour(j, grid.cols() - 1)));
        double x = left;
        double previousY = 0;
        for (int i = f.first; i <= f.last; ++i, x += spacing) {
            const double y = yOf(cellValue(grid, i, j));
            if (i > f.first && !(previousY >= floorY && y >= floorY)) {
                line(painter, x - spacing, previousY, x, y);
                ++report.segments;
            }
            previousY = y;
        }
    }

    QPen outline = pen(kMarkerColour, Qt::DashLine);
    const QFont valueFont = ChartFont(pointsToPixels(8));
    for (int j = f.firstCol; j <= f.lastCol; ++j) {
        double x = left;
        for (int i = f.first; i <= f.last; ++i, x += spacing) {
            const double y = yOf(cellValue(grid, i, j));
            if (i > f.first || y < floorY) {
                painter.setPen(outline);
                painter.setBrush(kMarkerColour);
                painter.drawEllipse(at(x, y), 20 / kPx, 20 / kPx);
                painter.setBrush(Qt::NoBrush);
                ++report.markers;
            }
            painter.setFont(valueFont);
            painter.setPen(Qt::black);
            painter.drawText(
                at(x + 20, y - 150) + QPointF(0, baseline(valueFont)), grid.text(i, j));
        }
    }
}

void drawLegend(QPainter& painter, const views::GridModel& grid, const Frame& f)
{
    const int series = grid.cols() - grid.fixedCols();
    if (series <= 0)
        return;
    const double slot = std::min(600.0, std::floor(f.h / series));
    const double inset = std::floor((slot - 200) / 2);
    double y0 = std::max(0.0, (f.h - slot * grid.cols()) / 2);
    const double x1 = f.w - kLegendBand + 200;
    const double x2 = f.w - 300;
    for (int j = f.firstCol; j <= f.lastCol; ++j) {
        const QColor colour = SeriesColour(j, grid.cols() - 1);
        painter.setPen(pen(colour));
        painter.setBrush(colour);
        painter.drawRect(QRectF(at(x1, y0 + inset + 200), at(x2, y0 + slot)));
        painter.setBrush(Qt::NoBrush);
        DrawTextAt(painter, static_cast<int>(x1), static_cast<int>(y0 + inset), grid.title(j), 0,
            true, kLegendPixels, Qt::black);
        y0 += slot;
    }
}

void drawTitle(QPainter& painter, const QString& title, double width)
{
    QString text = title;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QStringList lines = text.split(u'\n');
    double y = 100;
    for (int n = 0; n < lines.size(); ++n) {
        const bool first = n == 0;
        const QFont font = ChartFont(pointsToPixels(first ? 19 : 9), first);
        const QFontMetricsF metrics(font);
        const double lineWidth = metrics.horizontalAdvance(lines[n]) * kPx;
        painter.setFont(font);
        painter.setPen(first ? kTitleColour : kSubtitleColour);
        painter.drawText(at((width - lineWidth) / 2, y) + QPointF(0, baseline(font)), lines[n]);
        y += font.pixelSize() * kPx + 30;
    }
}

} // namespace

QColor SeriesColour(int j, int n)
{
    if (n < j)
        n = j;
    const int g = n > 0 ? static_cast<int>(255.0 * j / n) : 0;
    const auto cap = [](int v) { return std::clamp(v, 0, 255); };
    return QColor(cap(255 - g), cap(g), cap(255 - g));
}

double DivisionUnit(double largest)
{
    if (!(largest > 0))
        return 1;
    if (largest >= 1)
        return std::ceil(largest / kChartDivisions);
    // Below 1: the smallest 1, 2 or 5 times a power of ten whose ten steps reach the value.
    const double step = largest / kChartDivisions;
    const double base = std::pow(10.0, std::floor(std::log10(step)));
    for (const double m : { 1.0, 2.0, 5.0, 10.0 }) {
        if (m * base >= step * (1 - 1e-12))
            return m * base;
    }
    return 10 * base;
}

QString AxisNumberText(double value)
{
    return QString::number(value, 'g', 15);
}

QFont ChartFont(int pixelHeight, bool bold)
{
    QFont font;
    font.setFamilies({ QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC"),
        QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans") });
    font.setPixelSize(std::max(1, pixelHeight));
    font.setBold(bold);
    return font;
}

void DrawTextAt(QPainter& painter, int xTwips, int yTwips, const QString& text, int angle,
    bool leftAligned, int pixelHeight, const QColor& colour)
{
    const QFont font = ChartFont(pixelHeight);
    const QFontMetricsF metrics(font);
    double x = xTwips;
    if (!leftAligned)
        x -= (angle == 0 ? metrics.horizontalAdvance(text) : font.pixelSize()) * kPx;
    painter.save();
    painter.setFont(font);
    painter.setPen(colour);
    painter.translate(at(x, yTwips));
    painter.rotate(-angle);
    painter.drawText(QPointF(0, baseline(font)), text);
    painter.restore();
}

ChartDrawing DrawChart(QPainter& painter, const QSize& pixels, const views::GridModel& grid,
    QString& storedTitle, const QString& title, int first, int last)
{
    ChartDrawing report;
    painter.save();
    painter.fillRect(QRect(QPoint(0, 0), pixels), Qt::white);
    if (!grid.hasDataRows() || grid.cols() < grid.fixedCols()) {
        painter.restore();
        return report;
    }

    Frame f;
    f.w = pixels.width() * kPx;
    f.h = pixels.height() * kPx;
    // Range boxes count data rows from 1; a number beyond the data shows up to the last row,
    // and nothing before the first data row is ever taken for a point.
    const int rows = grid.rows();
    if (first == -1)
        first = 1;
    if (last == -1)
        last = rows - 1;
    f.first = std::clamp(first + grid.fixedRows() - 1, grid.fixedRows(), rows - 1);
    f.last = std::clamp(last + grid.fixedRows() - 1, grid.fixedRows(), rows - 1);
    f.firstCol = grid.fixedCols();
    f.lastCol = grid.cols() - 1;
    report.drawn = true;
    report.firstRow = f.first;
    report.lastRow = f.last;
    report.series = std::max(0, f.lastCol - f.firstCol + 1);

    double largest = 0;
    if (f.first <= f.last && f.firstCol <= f.lastCol)
        largest = views::maxCellValue(grid, f.firstCol, f.lastCol, f.first, f.last);
    if (largest == 0)
        largest = 1;
    report.largest = largest;

    report.axisTop = drawAxes(painter, grid, f, largest, report);
    drawSeriesLines(painter, grid, f, report.axisTop, report);
    drawLegend(painter, grid, f);

    if (!title.isEmpty())
        storedTitle = title;
    drawTitle(painter, storedTitle, f.w);
    painter.restore();
    return report;
}

} // namespace quel::analysis

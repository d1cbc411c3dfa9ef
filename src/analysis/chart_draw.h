#pragma once

#include <QColor>
#include <QFont>
#include <QSize>
#include <QString>

class QPainter;

namespace quel::views {
class GridModel;
}

namespace quel::analysis {

// The chart's fixed geometry, in twips of the chart area (15 twips per pixel).
inline constexpr int kChartTwipsPerPixel = 15;
inline constexpr int kChartLeft = 800; // x of the vertical axis
inline constexpr int kChartTop = 1000; // y of the top of the plot
inline constexpr int kChartRightMargin = 1800;
inline constexpr int kChartBottomMargin = 1800;
inline constexpr int kLegendBand = 1500;
inline constexpr int kChartDivisions = 10;

// Colour of series j (a grid column index) when the highest column index is n: a blend
// from blue-magenta towards green, (255 - g, g, 255 - g) with g = Int(255 j / n).
QColor SeriesColour(int j, int n);

// The step between two horizontal grid lines for a largest value: Fix((v + 9) / 10) for
// whole values, the next whole step up for fractional ones, so the axis top always covers
// the value; below 1 a step of 1, 2 or 5 times a power of ten, so fractional data still
// draws (0.37 gives 0.05 and an axis top of 0.5).
double DivisionUnit(double largest);

// The decimal text of an axis label (shortest form, 15 significant digits at most).
QString AxisNumberText(double value);

// The face every chart label uses: a CJK face at the given pixel height, so that Chinese
// names render the same on screen and in images.
QFont ChartFont(int pixelHeight, bool bold = false);

// What one drawing did; for the chart widget (nothing drawn means an empty area) and tests.
struct ChartDrawing
{
    bool drawn = false; // false: the grid had no data and the area stays empty
    int firstRow = 0; // grid rows shown (heading rows counted)
    int lastRow = 0;
    double largest = 0; // largest value shown (1 when all are 0)
    double unit = 0; // division unit
    double axisTop = 0; // value at the top of the vertical axis
    double spacing = 0; // point spacing, twips
    int segments = 0; // line segments drawn
    int markers = 0; // point markers drawn
    int series = 0; // data columns
};

// Draws the grid as a line chart into an area of `pixels` size on the painter: clears it
// white, then axes with the point and division labels, one line per data column with its
// markers and value labels, the legend and the title. first and last are data rows counted
// from 1 (-1: the first resp. last row), clamped to the grid.
//
// The title lives with the chart area: an empty title draws `storedTitle`, a non-empty one
// replaces it, so a redraw for scrolling keeps the title of the last analysis.
ChartDrawing DrawChart(QPainter& painter, const QSize& pixels, const views::GridModel& grid,
    QString& storedTitle, const QString& title, int first, int last);

// Draws one label at (x, y) twips with a font of `pixelHeight` turned by `angle` degrees
// (counter-clockwise; -90 reads downwards). Left-aligned labels start at x; others end there
// (upright) or are moved left by one line height (turned).
void DrawTextAt(QPainter& painter, int xTwips, int yTwips, const QString& text, int angle,
    bool leftAligned, int pixelHeight, const QColor& colour);

} // namespace quel::analysis

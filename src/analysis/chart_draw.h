#pragma once

#include "analysis/chart_data.h"
#include "analysis/chart_layout.h"
#include "analysis/chart_scale.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QRectF>
#include <QSize>
#include <QString>

class QPainter;

namespace quel::grid {
class GridModel;
} // namespace quel::grid

namespace quel::analysis {

// The chart's base geometry, in twips of the chart area (15 twips per pixel). The bottom
// margin grows with the point labels, the legend band with the series names, the left margin
// with the axis numbers.
inline constexpr int kChartTwipsPerPixel = 15;
inline constexpr int kChartLeft = 800; // x of the vertical axis
inline constexpr int kChartTop = 1000; // y of the top of the plot
inline constexpr int kChartRightMargin = 1800;
inline constexpr int kChartBottomMargin = 1800;
inline constexpr int kLegendBand = 1500;
inline constexpr int kChartDivisions = 10;

// The face every chart label uses: a CJK face at the given pixel height, so that Chinese
// names render the same on screen and in images.
QFont ChartFont(int pixelHeight, bool bold = false);

// What one drawing did; for the chart widget (hover, mouse, nothing drawn means an empty
// area) and tests. Positions are in pixels of the area.
struct ChartDrawing
{
    bool drawn = false; // false: the grid had no data and the area stays empty
    int firstRow = 0; // grid rows shown (heading rows counted)
    int lastRow = 0;
    double largest = 0; // largest value shown (1 when all are 0)
    double unit = 0; // division step of the first panel
    double axisTop = 0; // value at the top of the first panel's axis
    double spacing = 0; // distance between two categories, twips
    int segments = 0; // line segments drawn
    int markers = 0; // point markers drawn
    int bars = 0; // bars drawn
    int series = 0; // data columns
    int panels = 0; // panels stacked (1: one axis for all)
    bool compact = false; // the small chart's layout (see ChartFrameFor)
    double lineAxisTop = 0; // top of the right axis of lines over bars (0: none)
    ChartMark mark = ChartMark::Line;
    QRectF plot; // the plot, all panels together
    std::vector<QRectF> panelRects;
    ChartPoints points; // where each value was drawn
    // Every text drawn (title, legend, axis numbers, point and value labels).
    QList<QRectF> labels;
    QList<QRectF> legend; // the legend's names
    // The labels shortened with "…", with their full text.
    struct Shortened
    {
        QRectF rect;
        QString text;
    };
    QList<Shortened> shortened;
    // The shown categories and series, for the hover text.
    ChartData data;
};

// Draws the chart of `data` into an area of `size` (logical pixels of the painter): clears
// it white, then per panel the axes at round numbers, the lines with their markers or the
// bars, the value labels that find room, the legend and the title.
ChartDrawing DrawChartData(QPainter& painter, const QSize& size, const ChartData& data,
    const QString& title, const ChartOptions& options = {});

// Draws the grid's chart. first and last are data rows counted from 1 (-1: the first resp.
// last row), clamped to the grid.
//
// The title lives with the chart area: an empty title draws `storedTitle`, a non-empty one
// replaces it, so a redraw for scrolling keeps the title of the last analysis.
ChartDrawing DrawChart(QPainter& painter, const QSize& pixels, const grid::GridModel& grid,
    QString& storedTitle, const QString& title, int first, int last,
    const ChartOptions& options = {});

// What the pointer at pos (pixels of the area) points at: the full text of a shortened
// label under it, else the series, label and value of the nearest drawn point when the
// pointer is over the plot. guideX gets the point's x (or stays as it is). Empty for nothing.
QString ChartHoverText(const ChartDrawing& drawing, const QPointF& pos, double* guideX = nullptr);

// Draws one label at (x, y) twips with a font of `pixelHeight` turned by `angle` degrees
// (counter-clockwise; -90 reads downwards). Left-aligned labels start at x; others end there
// (upright) or are moved left by one line height (turned).
void DrawTextAt(QPainter& painter, int xTwips, int yTwips, const QString& text, int angle,
    bool leftAligned, int pixelHeight, const QColor& colour);

} // namespace quel::analysis

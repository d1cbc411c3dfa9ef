// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/chart_data.h"

#include <QHash>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <vector>

namespace quel::analysis {

// Whether the series share one axis or stand in panels of their own.
enum class ChartPanels
{
    Auto, // panels when the series' sizes are too far apart for one axis
    One,
    Each
};

// How one drawing lays the chart out.
struct ChartOptions
{
    ChartMark mark = ChartMark::Line;
    ChartPanels panels = ChartPanels::One;
    // Per series, its own mark (missing entries: `mark`). Lines over a bar chart stand over
    // the bars' slots and read an axis of their own on the right.
    std::vector<ChartMark> seriesMarks {};
    // That right axis: its top (0: the round number above the lines' values) and the text
    // after its numbers ("%").
    double lineAxisTop = 0;
    QString lineAxisSuffix {};

    ChartMark markOf(size_t series) const
    {
        return series < seriesMarks.size() ? seriesMarks[series] : mark;
    }
    // True when series s is a line over bars, on the right axis.
    bool onLineAxis(size_t series) const
    {
        return mark == ChartMark::Bar && markOf(series) == ChartMark::Line;
    }
};

// The most axis divisions that keep the numbers of a panel this many pixels high apart
// (at least 1, at most `most`).
int DivisionsForHeight(double pixels, int most = 10);

// True when every value of the series is a whole number (counts): their axis steps by whole
// numbers too.
bool WholeValues(const ChartData& data, const std::vector<size_t>& series);

// Where a chart's furniture goes. Full-size charts keep their large title and the legend
// band on the right; a small chart (compact) gets a smaller title, its legend as a row
// under the title (none for a single series, which the title and the hover name) and thin
// margins, so that the plot keeps most of the area.
struct ChartFrame
{
    bool compact = false;
    int titlePixels = 25;
    int subtitlePixels = 12;
    bool legendRow = false; // compact: the legend is a row above the plot
    bool legendShown = true;
};
ChartFrame ChartFrameFor(const QSizeF& size, int seriesCount);

// True when one axis would flatten a series: the largest values of the series (those above
// 0) differ by more than ten times.
bool PanelsSuit(const ChartData& data);

// The plot divided into `count` panels stacked from top to bottom with `gap` between them.
std::vector<QRectF> StackPanels(const QRectF& plot, int count, double gap);

// The x of category i of `count` in the plot: lines run from the left edge (the axis) to the
// right edge, bars stand in the middle of equal slots.
double CategoryX(const QRectF& plot, int count, int i, ChartMark mark);
// The width of one category's slot.
double CategorySlot(const QRectF& plot, int count, ChartMark mark);

// The bar of series s (of seriesCount side by side) at category i in a panel whose axis
// runs from 0 at the bottom to axisTop; empty for no value or a value at or below 0.
QRectF BarRect(
    const QRectF& panel, int count, int i, int seriesCount, int s, double value, double axisTop);

// Where the drawn points lie (pixels), for finding the one under the pointer: one x per
// category, and per series one y per category (kNoValue for none).
struct ChartPoints
{
    std::vector<double> xs;
    std::vector<std::vector<double>> ys;
};

struct ChartHit
{
    int series = -1;
    int point = -1;
    bool found() const { return series >= 0 && point >= 0; }
};

// The point nearest to pos: the category nearest in x (categories are in x order), then the
// series nearest in y among those with a value there. Nothing for an empty chart.
ChartHit NearestPoint(const ChartPoints& points, const QPointF& pos);

// Keeps the labels of one drawing apart: a label is placed only when it meets none placed
// before it (and lies inside the bounds when given).
class LabelPlacer
{
public:
    explicit LabelPlacer(const QRectF& bounds = {});
    // Places the rectangle unless it meets a placed one or leaves the bounds.
    bool place(const QRectF& rect);
    // Records a rectangle that is drawn in any case (title, legend names).
    void reserve(const QRectF& rect);
    bool overlaps(const QRectF& rect) const;
    const QList<QRectF>& placed() const { return m_rects; }

private:
    // A coarse grid of cells over the chart: each cell lists the rectangles touching it.
    static constexpr double kCell = 48;
    void add(const QRectF& rect);
    template <typename F> void forCells(const QRectF& rect, F f) const;

    QRectF m_bounds;
    QList<QRectF> m_rects;
    QHash<qint64, QList<int>> m_cells;
};

} // namespace quel::analysis

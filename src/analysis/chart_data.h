// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <cmath>
#include <limits>
#include <vector>

namespace quel::grid {
class GridModel;
} // namespace quel::grid

namespace quel::analysis {

// How a series is drawn.
enum class ChartMark
{
    Line,
    Bar
};

// A value that is not there (a period without trades has no average price): no point, no
// bar, no label, and a gap in the line.
inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();
inline bool isNoValue(double v)
{
    return std::isnan(v);
}

// One series of a chart: its name, one value per category (kNoValue for none) and the text
// its value labels show.
struct ChartSeries
{
    QString name;
    std::vector<double> values;
    QStringList texts;
};

// What a chart shows, independent of where it came from: the category labels along the
// horizontal axis and the series over them.
struct ChartData
{
    QStringList labels;
    std::vector<ChartSeries> series;

    int categories() const { return static_cast<int>(labels.size()); }
    // The largest value of one series (0 when it has none above 0).
    double largest(size_t series) const;
};

// The grid rows firstRow .. lastRow (grid rows, headings counted) as a chart: the last fixed
// column labels the categories, every other column after the fixed ones is a series named
// by its caption. An empty cell is no value; other texts are read as numbers.
ChartData ChartDataFromGrid(const grid::GridModel& grid, int firstRow, int lastRow);

} // namespace quel::analysis

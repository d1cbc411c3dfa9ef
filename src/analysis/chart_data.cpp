// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/chart_data.h"

#include "grid/grid_model.h"
#include "grid/grid_ops.h"

#include <algorithm>

namespace quel::analysis {

double ChartData::largest(size_t s) const
{
    double top = 0;
    if (s >= series.size())
        return top;
    for (const double v : series[s].values) {
        if (!isNoValue(v))
            top = std::max(top, v);
    }
    return top;
}

ChartData ChartDataFromGrid(const grid::GridModel& grid, int firstRow, int lastRow)
{
    ChartData data;
    const int labelCol = grid.fixedCols() - 1;
    const int count = std::max(0, lastRow - firstRow + 1);
    data.labels.reserve(count);
    for (int i = firstRow; i <= lastRow; ++i)
        data.labels.append(grid.text(i, labelCol));
    for (int j = std::max(0, grid.fixedCols()); j < grid.cols(); ++j) {
        ChartSeries s;
        s.name = grid.title(j);
        s.values.reserve(static_cast<size_t>(count));
        s.texts.reserve(count);
        for (int i = firstRow; i <= lastRow; ++i) {
            const QString text = grid.text(i, j);
            s.values.push_back(text.trimmed().isEmpty() ? kNoValue : grid::leadingNumber(text));
            s.texts.append(text);
        }
        data.series.push_back(std::move(s));
    }
    return data;
}

} // namespace quel::analysis

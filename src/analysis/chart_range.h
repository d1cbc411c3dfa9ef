#pragma once

namespace quel::analysis {

// The data rows a chart shows, counted from 1 (the range boxes SRow / ERow).
struct ChartRange
{
    int start = 1;
    int end = 40;
    bool operator==(const ChartRange&) const = default;
};

enum class ChartKey
{
    Left,
    Right
};

// The range after an arrow key on the chart (ctrl: Ctrl alone was held), for a grid of
// `dataRows` rows below its headings. The range is put in order first. Left moves the
// window one point back while it does not start at 1; Ctrl+Left drops its last point while
// it has more than one; Right moves it one point on and Ctrl+Right adds a point, both only
// while it ends before the last row. The result is clamped into 1 .. dataRows. A grid
// without data rows keeps the range as it is.
ChartRange ChartRangeAfterKey(ChartKey key, bool ctrl, ChartRange range, int dataRows);

} // namespace quel::analysis

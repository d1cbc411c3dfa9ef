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

// The range after wheel steps over the chart: each step towards the user (steps > 0) shows
// about a fifth fewer points, each step away a fifth more (at least one point either way),
// keeping the point under the pointer where it was; `anchor` is the pointer's place across
// the shown points, 0 at the first and 1 at the last. The result stays within 1 .. dataRows
// and shows at least one point.
ChartRange ChartRangeAfterWheel(ChartRange shown, int dataRows, double anchor, int steps);

// The range after a drag that moved the picture by `points` categories to the right (the
// earlier points come into view): the range the press started from, moved back by the whole
// points of the drag and kept within 1 .. dataRows with its length.
ChartRange ChartRangeAfterDrag(ChartRange atPress, int dataRows, double points);

} // namespace quel::analysis

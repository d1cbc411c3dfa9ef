#include "analysis/chart_range.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace quel::analysis {

ChartRange ChartRangeAfterKey(ChartKey key, bool ctrl, ChartRange range, int dataRows)
{
    if (dataRows <= 0)
        return range;
    int s = range.start;
    int e = range.end;
    if (e < s)
        std::swap(s, e);
    // The right edge is the last data row: a window already ending there stays as it is
    // instead of shrinking against the clamp.
    if (key == ChartKey::Left) {
        if (ctrl) {
            if (e > s)
                --e;
        } else if (s >= 2) {
            --s;
            --e;
        }
    } else if (e < dataRows) {
        if (!ctrl)
            ++s;
        ++e;
    }
    return { std::clamp(s, 1, dataRows), std::clamp(e, 1, dataRows) };
}

namespace {

// The range in order and within the data.
ChartRange ordered(ChartRange range, int dataRows)
{
    int s = std::min(range.start, range.end);
    int e = std::max(range.start, range.end);
    s = std::clamp(s, 1, dataRows);
    e = std::clamp(e, 1, dataRows);
    return { s, e };
}

} // namespace

ChartRange ChartRangeAfterWheel(ChartRange shown, int dataRows, double anchor, int steps)
{
    if (dataRows <= 0 || steps == 0)
        return shown;
    const ChartRange r = ordered(shown, dataRows);
    int length = r.end - r.start + 1;
    for (int k = 0; k < std::abs(steps); ++k) {
        const int change = std::max(1, length / 5);
        length = steps > 0 ? length - change : length + change;
        length = std::clamp(length, 1, dataRows);
    }
    anchor = std::clamp(anchor, 0.0, 1.0);
    // The row under the pointer keeps its share of the window.
    const double pivot = r.start + anchor * (r.end - r.start);
    int start = static_cast<int>(std::lround(pivot - anchor * (length - 1)));
    start = std::clamp(start, 1, dataRows - length + 1);
    return { start, start + length - 1 };
}

ChartRange ChartRangeAfterDrag(ChartRange atPress, int dataRows, double points)
{
    if (dataRows <= 0)
        return atPress;
    const ChartRange r = ordered(atPress, dataRows);
    const int length = r.end - r.start + 1;
    const int moved = static_cast<int>(std::trunc(points));
    const int start = std::clamp(r.start - moved, 1, dataRows - length + 1);
    return { start, start + length - 1 };
}

} // namespace quel::analysis

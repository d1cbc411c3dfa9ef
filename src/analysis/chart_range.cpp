#include "analysis/chart_range.h"

#include <algorithm>
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

} // namespace quel::analysis

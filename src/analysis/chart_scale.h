// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QString>

namespace quel::analysis {

// Colours of the series, in order: ten hues that stay apart also for the common kinds of
// colour blindness; the eleventh series starts the round again.
inline constexpr int kPaletteSize = 10;
QColor SeriesColour(int series);

// A vertical axis at round numbers: `divisions` steps of `step` (1, 2 or 5 times a power of
// ten) from 0 to `top`, the top at or above the largest value.
struct AxisScale
{
    double step = 1;
    int divisions = 1;
    double top = 1;
};

// The finest such axis with at most maxDivisions steps for a largest value; 0 or less (or
// no number) counts as 1. Whole numbers (counts) never get a step below 1.
AxisScale NiceAxis(double largest, int maxDivisions = 10, bool whole = false);

// The decimal text of an axis label (shortest form, 15 significant digits at most).
QString AxisNumberText(double value);

} // namespace quel::analysis

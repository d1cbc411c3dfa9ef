// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/chart_scale.h"

#include <algorithm>
#include <cmath>

namespace quel::analysis {

QColor SeriesColour(int series)
{
    // The ten-colour qualitative palette of the common charting tools.
    static const QRgb palette[kPaletteSize] = { 0x4e79a7, 0xf28e2b, 0xe15759, 0x76b7b2, 0x59a14f,
        0xedc948, 0xb07aa1, 0xff9da7, 0x9c755f, 0xbab0ac };
    const int i = ((series % kPaletteSize) + kPaletteSize) % kPaletteSize;
    return QColor(palette[i]);
}

AxisScale NiceAxis(double largest, int maxDivisions, bool whole)
{
    if (!(largest > 0) || !std::isfinite(largest))
        largest = 1;
    maxDivisions = std::max(1, maxDivisions);
    // The smallest round step that reaches the value within the allowed steps; a relative
    // slack keeps 0.3 / 0.05 at six steps despite the binary fractions.
    const double rough = largest / maxDivisions;
    double base = std::pow(10.0, std::floor(std::log10(rough)));
    if (whole)
        base = std::max(base, 1.0);
    for (int round = 0; round < 3; ++round, base *= 10) {
        for (const double m : { 1.0, 2.0, 5.0 }) {
            const double step = m * base;
            const int divisions = std::max(1, static_cast<int>(std::ceil(largest / step - 1e-9)));
            if (divisions <= maxDivisions)
                return { step, divisions, divisions * step };
        }
    }
    return { largest, 1, largest };
}

QString AxisNumberText(double value)
{
    return QString::number(value, 'g', 15);
}

} // namespace quel::analysis

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/number_form.h"

#include <cmath>

namespace quel::core {

QString NumberText(double value)
{
    if (!std::isfinite(value) || value == 0.0)
        return QStringLiteral("0");
    QString text = QString::number(value, 'g', 15);
    if (!text.contains(u'e'))
        return text;
    // Very large or very small values: plain decimals, trailing zeros dropped.
    text = QString::number(text.toDouble(), 'f', 15);
    if (text.contains(u'.')) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    return text;
}

} // namespace quel::core

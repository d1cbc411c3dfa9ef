// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace quel::core {

// The number form of result files and figure lists: the shortest decimal text with at most
// 15 significant digits, "." as decimal point, no grouping and no exponent: 12.00 -> "12",
// 12.5 -> "12.5".
QString NumberText(double value);

} // namespace quel::core

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What the main program and its quelfetch workers say to each other: the job on the
// worker's command line and the layout of the result file it writes. Both sides use these
// and nothing else, so the two cannot drift apart.
namespace quel::core {

// The job: page + "‖" + output file + "‖" + mode (0 an item page, 1 a buyer profile).
inline const QString kJobFieldSeparator = QStringLiteral("‖");

// A result file: fields joined by the field separator, lines by the line break; the last
// line normally has none.
inline const QString kResultFieldSeparator = QStringLiteral("〗★〖");
inline const QString kResultLineBreak = QStringLiteral("\r\n");

} // namespace quel::core

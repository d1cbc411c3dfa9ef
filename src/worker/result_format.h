#pragma once

#include <QString>

// The layout of the worker's result files, which the main program's importers read.
namespace quel::worker {

// Joins the fields of one line.
inline const QString kFieldSeparator = QStringLiteral("〗★〖");
// Ends a line (the last line of a file normally has none).
inline const QString kLineBreak = QStringLiteral("\r\n");

} // namespace quel::worker

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace quel::exports {

// The first extension a file-dialog filter names ("MS Excel文件 (*.xlsx)" gives "xlsx");
// empty when it names none.
QString FilterExtension(const QString& filter);

// The path with the chosen filter's extension appended when the typed file name has no
// extension of its own ("stats" with the workbook filter becomes "stats.xlsx"; "stats.csv"
// and "a.b" stay as they are).
QString WithFilterExtension(const QString& path, const QString& filter);

} // namespace quel::exports

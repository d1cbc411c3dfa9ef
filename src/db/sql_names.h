// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace quel::db {

// A table or column name as a double-quoted SQL identifier, which both engines read.
inline QString quoteName(const QString& name)
{
    QString out = name;
    out.replace(u'"', QStringLiteral("\"\""));
    return u'"' + out + u'"';
}

} // namespace quel::db

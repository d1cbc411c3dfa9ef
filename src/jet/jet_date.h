// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/stored_date.h"

#include <QDateTime>
#include <QStringView>
#include <optional>

namespace quel::jet {

// The inside of a Jet date literal #...#: y-m-d or m/d/y (also y/m/d), optional time. Jet
// reads #a/b/c# as month/day/year unless the first part is a four-digit year.
inline std::optional<QDateTime> parseJetDateLiteral(QStringView text)
{
    return db::parseDateText(text, db::DateOrder::MonthFirst);
}

} // namespace quel::jet

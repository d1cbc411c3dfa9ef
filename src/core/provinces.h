// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace quel::core {

// The provinces, regions and pseudo-regions a location can start with, in search order
// (none is a prefix of another). Buyer profiles and seller addresses are both read
// against it.
const QStringList& ProvinceTable();

// The table entry a location starts with ("浙江 杭州" -> "浙江"); empty when none.
QString ProvinceOf(const QString& location);

} // namespace quel::core

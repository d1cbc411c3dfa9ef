#pragma once

#include "core/provinces.h"

#include <QString>
#include <QStringList>

// Reading a buyer's public profile page into the one line of a mode-1 result.
namespace quel::worker {

using quel::core::ProvinceTable;

// Splits a location at the first table entry it starts with: 浙江杭州 -> 浙江 + 杭州.
// A location that is exactly an entry, or has none, gives the same text twice.
void SplitLocation(const QString& location, QString& province, QString& region);

// The result line: name, seller credit, buyer credit, province, region, registration date
// and last login, joined by the field separator.
QString ParseBuyerProfile(const QString& markup);

// The line for an account the marketplace has banned.
QString BannedAccountLine();

} // namespace quel::worker

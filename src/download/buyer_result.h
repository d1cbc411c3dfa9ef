#pragma once

#include <QDate>
#include <QString>
#include <optional>

namespace quel::download {

// The UPDATE of one 客户表 row from a mode-1 worker result (name, seller credit, buyer
// credit, province, region, registration date, last login). Empty dates become 1900-1-1,
// empty credits 0, and "2008年3月5日" becomes 2008-3-5; an empty name leaves BName alone.
// nullopt when the result has fewer than seven fields or a date that cannot be read.
std::optional<QString> BuildBuyerUpdate(const QString& text, qint64 customerId, const QDate& today);

} // namespace quel::download

#pragma once

#include <QString>

namespace quel::web {

// The field cutter. fromStart: splits at the first marker, returns the part before it and
// leaves the part after it in text. Otherwise splits at the last marker, returns the part
// after it and leaves the part before it. Without the marker: empty result, text unchanged.
QString CutAtMarker(QString& text, const QString& marker, bool fromStart);

// Replaces every span from open to the next close after it (to the end of the text when
// close is missing) by replacement, and returns the changed text. A replacement that
// itself contains open is not searched again.
QString RemoveBetween(
    QString& text, const QString& open, const QString& close, const QString& replacement);

// RemoveBetween(text, "<", ">", "") on a copy.
QString StripTags(const QString& markup);

} // namespace quel::web

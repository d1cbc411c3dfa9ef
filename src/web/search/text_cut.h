#pragma once

#include <QString>

namespace quel::search {

// The field cutter the list parsing walks with: forward, the part before the first marker
// is returned and the text moves past it; backward, the part after the last marker is
// returned and the text keeps what precedes it. A missing marker gives empty text and
// leaves the text as it was.
QString CutAtMarker(QString& text, const QString& marker, bool fromStart);

// Replaces every span from open to the next close (or to the end when close is missing).
QString& RemoveBetween(
    QString& text, const QString& open, const QString& close, const QString& replacement);

} // namespace quel::search

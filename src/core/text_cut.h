#pragma once

#include <QString>

// The field cutters every page parser, in quelmar and in the worker, is written with.
namespace quel::core {

// The field cutter. fromStart: splits at the first marker, returns the part before it and
// leaves the part after it in text. Otherwise splits at the last marker, returns the part
// after it and leaves the part before it. Without the marker: empty result, text unchanged.
QString CutAtMarker(QString& text, const QString& marker, bool fromStart);

// Moves text past the first occurrence of marker; false, text unchanged, when it is absent
// (a forward cut whose result is dropped, but one that says whether the marker was there).
bool SkipPast(QString& text, const QString& marker);

// Replaces every span from open to the next close after it (to the end of the text when
// close is missing) by replacement, and returns the changed text. A replacement that
// itself contains open is not searched again.
QString RemoveBetween(
    QString& text, const QString& open, const QString& close, const QString& replacement);

// RemoveBetween(text, "<", ">", "") on a copy.
QString StripTags(const QString& markup);

// Removes U+0020 at both ends and nothing else (unlike QString::trimmed).
QString TrimBlanks(const QString& text);

} // namespace quel::core

#pragma once

#include <QString>

// The two text cutters every page parser is written with.
namespace quel::worker {

// Cuts text at a marker. fromStart: at its first occurrence, returns the part before it and
// leaves the part after it in text. Otherwise at its last occurrence, returns the part after
// it and leaves the part before it in text. An absent marker returns "" and leaves text as
// it was.
QString CutAtMarker(QString& text, const QString& marker, bool fromStart);

// Replaces every stretch from open to the next close (both included; to the end of the text
// when close is missing) with replacement, until open no longer occurs. Returns the result.
QString& RemoveBetween(
    QString& text, const QString& open, const QString& close, const QString& replacement);

// Text with all markup removed ("<" to ">").
QString StripTags(QString text);

// Removes U+0020 at both ends and nothing else.
QString TrimBlanks(const QString& text);

} // namespace quel::worker

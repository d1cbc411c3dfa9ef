#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

class QLineEdit;

namespace quel::widgets {

// Index of the first element equal to text among elements 1..last (element 0 is unused:
// these arrays are 1-based), or -1.
long IndexOfText(const QString& text, const QStringList& array);

// Index of the first element equal to value, or -1.
long IndexOfValue(long value, const std::vector<long>& array);

// Clamps value between the two bounds, whichever order they come in. Integers and floating
// numbers are clamped by numeric value, dates against the bounds taken as dates (text bounds
// are parsed); any other value (text, empty, null) is left as it is.
void ClampToRange(QVariant& value, const QVariant& a, const QVariant& b);

// The first and last chart column of a range box pair, read as whole numbers and clamped
// into 1..(rows - fixedRows). Text that is no number counts as 0. The start is not forced
// below the end.
void ClampRowRange(int rows, int fixedRows, QString& start, QString& end);
void ClampRowRange(int rows, int fixedRows, QLineEdit* startBox, QLineEdit* endBox);

} // namespace quel::widgets

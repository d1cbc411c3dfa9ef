#pragma once

#include "core/number_form.h"

#include <QString>
#include <QStringView>

namespace quel::worker {

// The leading-number rule of the page parsers: leading blanks skipped, then the longest
// prefix that forms a decimal number (sign, digits, one decimal point; blanks inside it
// are skipped). Text without such a prefix gives 0.
double LeadingNumber(QStringView text);

// The text's leading number cannot stand for a field: NaN or infinite (also written as a
// word), or for a whole-number field (whole) outside the 32-bit range. Text without a
// leading number is not out of range (the field counts as absent).
bool NumberOutOfRange(QStringView text, bool whole);

// A value rounded to the nearest integer, halves to the even neighbour. Values outside the
// 32-bit range give 0, the way a failed assignment leaves an integer field untouched.
qint32 RoundToInt32(double value);

using quel::core::NumberText;

} // namespace quel::worker

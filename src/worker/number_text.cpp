#include "worker/number_text.h"

#include <QByteArray>
#include <cmath>
#include <limits>
#include <string>

namespace quel::worker {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// The characters of the leading number (see LeadingNumber), in the C locale's form; "" when
// the text does not start with one. *rest, when given, is where the number ends.
std::string leadingDigits(QStringView text, qsizetype* rest = nullptr)
{
    std::string digits;
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        if (text[i] == u'-')
            digits += '-';
        ++i;
    }
    bool point = false;
    bool anyDigit = false;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (isBlank(c))
            continue;
        if (c >= u'0' && c <= u'9') {
            digits += static_cast<char>(c.unicode());
            anyDigit = true;
        } else if (c == u'.' && !point) {
            digits += '.';
            point = true;
        } else {
            break;
        }
    }
    if (rest)
        *rest = i;
    return anyDigit ? digits : std::string();
}

} // namespace

double LeadingNumber(QStringView text)
{
    const std::string digits = leadingDigits(text);
    if (digits.empty())
        return 0.0;
    // QByteArray::toDouble reads the C locale whatever the user's locale says.
    bool ok = false;
    const double value = QByteArray::fromStdString(digits).toDouble(&ok);
    if (!ok || !std::isfinite(value) || value == 0.0)
        return 0.0; // also no "-0"
    return value;
}

bool NumberOutOfRange(QStringView text, bool whole)
{
    const QStringView trimmed = text.trimmed();
    QStringView word = trimmed;
    if (word.startsWith(u'-') || word.startsWith(u'+'))
        word = word.mid(1);
    if (word.startsWith(u"nan", Qt::CaseInsensitive) || word.startsWith(u"inf", Qt::CaseInsensitive)
        || word.startsWith(u"∞"))
        return true;
    const std::string digits = leadingDigits(trimmed);
    if (digits.empty())
        return false; // no number at all: the field is absent, which gives 0
    // Digits that do not convert can only be too many for a double.
    bool ok = false;
    const double value = QByteArray::fromStdString(digits).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return true;
    return whole
        && (std::nearbyint(value) > std::numeric_limits<qint32>::max()
            || std::nearbyint(value) < std::numeric_limits<qint32>::min());
}

qint32 RoundToInt32(double value)
{
    if (!std::isfinite(value))
        return 0;
    const double rounded = std::nearbyint(value); // default rounding: halves to even
    if (rounded < std::numeric_limits<qint32>::min()
        || rounded > std::numeric_limits<qint32>::max())
        return 0;
    return static_cast<qint32>(rounded);
}

QString NumberText(double value)
{
    if (!std::isfinite(value) || value == 0.0)
        return QStringLiteral("0");
    QString text = QString::number(value, 'g', 15);
    if (!text.contains(u'e'))
        return text;
    // Very large or very small values: plain decimals, trailing zeros dropped.
    text = QString::number(text.toDouble(), 'f', 15);
    if (text.contains(u'.')) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    return text;
}

} // namespace quel::worker

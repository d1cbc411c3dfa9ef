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

} // namespace

double LeadingNumber(QStringView text)
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
    if (!anyDigit)
        return 0.0;
    // QByteArray::toDouble reads the C locale whatever the user's locale says.
    bool ok = false;
    const double value = QByteArray::fromStdString(digits).toDouble(&ok);
    if (!ok || !std::isfinite(value) || value == 0.0)
        return 0.0; // also no "-0"
    return value;
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

} // namespace quel::worker

#include "download/result_text.h"

#include <QRegularExpression>

namespace quel::download {

double LeadingNumber(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*([+-]?(\\d+\\.?\\d*|\\.\\d+))"));
    const QRegularExpressionMatch m = number.match(text);
    return m.hasMatch() ? m.captured(1).toDouble() : 0.0;
}

std::optional<QDateTime> ParseResultDateTime(const QString& text)
{
    static const QRegularExpression form(
        QStringLiteral("^\\s*(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})(?:[ "
                       "T]+(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?)?\\s*$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!date.isValid())
        return std::nullopt;
    QTime time(0, 0, 0);
    if (m.hasCaptured(4)) {
        time = QTime(m.captured(4).toInt(), m.captured(5).toInt(),
            m.hasCaptured(6) ? m.captured(6).toInt() : 0);
        if (!time.isValid())
            return std::nullopt;
    }
    return QDateTime(date, time);
}

QString ShortDateText(const QDate& date)
{
    return QStringLiteral("%1-%2-%3").arg(date.year()).arg(date.month()).arg(date.day());
}

QString MonthDayYearText(const QDate& date)
{
    return date.toString(QStringLiteral("MM-dd-yyyy"));
}

} // namespace quel::download

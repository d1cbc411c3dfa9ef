#include "db/stored_date.h"

#include <QRegularExpression>
#include <cstdio>

namespace quel::db {

namespace {

// Formatted by hand: this runs for every date written, and the general formatter is slow.
QString formatDate(const QDate& date, const QTime& time)
{
    if (!date.isValid())
        return {};
    int year = 0, month = 0, day = 0;
    date.getDate(&year, &month, &day);
    const QTime t = time.isValid() ? time : QTime(0, 0);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day,
        t.hour(), t.minute(), t.second());
    return QString::fromLatin1(buffer);
}

} // namespace

QString canonicalDateText(const QDateTime& dateTime)
{
    return formatDate(dateTime.date(), dateTime.time());
}

QString canonicalDateText(const QDate& date)
{
    return formatDate(date, QTime(0, 0));
}

namespace {

int digits(QStringView text, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i)
        value = value * 10 + (text[i].unicode() - '0');
    return value;
}

std::optional<DateParts> makeDateParts(
    int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    // Two-digit years as Jet read them: 00-29 this century, 30-99 the last.
    if (year < 100)
        year += year < 30 ? 2000 : 1900;
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return DateParts { date, time };
}

std::optional<QDateTime> makeDateTime(
    int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    if (const auto parts = makeDateParts(year, month, day, hour, minute, second))
        return QDateTime(parts->date, parts->time);
    return std::nullopt;
}

// Parses an optional time part: "", "H:M", "H:M:S", with AM/PM or 上午/下午 before or after.
bool parseTime(QString text, int& hour, int& minute, int& second)
{
    hour = minute = second = 0;
    text = text.trimmed();
    if (text.isEmpty())
        return true;
    bool pm = false;
    bool am = false;
    for (const auto& [marker, isPm] :
        { std::pair { QStringLiteral("下午"), true }, std::pair { QStringLiteral("上午"), false },
            std::pair { QStringLiteral("PM"), true }, std::pair { QStringLiteral("AM"), false } }) {
        const qsizetype at = text.indexOf(marker, 0, Qt::CaseInsensitive);
        if (at >= 0) {
            text.remove(at, marker.size());
            (isPm ? pm : am) = true;
            break;
        }
    }
    static const QRegularExpression timeRe(
        QStringLiteral("^(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?$"));
    const auto match = timeRe.match(text.trimmed());
    if (!match.hasMatch())
        return false;
    hour = match.captured(1).toInt();
    minute = match.captured(2).toInt();
    second = match.captured(3).isEmpty() ? 0 : match.captured(3).toInt();
    if ((pm || am) && (hour < 1 || hour > 12))
        return false;
    if (pm && hour < 12)
        hour += 12;
    if (am && hour == 12)
        hour = 0;
    return true;
}

// Splits "date[ time]" where the date has three numeric parts separated by one of the
// separators; decides the order by which part has four digits (or by the preference).
std::optional<QDateTime> parseNumericDate(QStringView input, DateOrder preference)
{
    static const QRegularExpression dateRe(
        QStringLiteral("^\\s*(\\d{1,4})\\s*([-/.年])\\s*(\\d{1,2})\\s*([-/"
                       ".月])\\s*(\\d{1,4})\\s*日?(?:[\\sT]+(.*))?$"));
    const auto match = dateRe.match(input.toString());
    if (!match.hasMatch())
        return std::nullopt;
    const QString a = match.captured(1);
    const QString b = match.captured(3);
    const QString c = match.captured(5);
    int hour = 0, minute = 0, second = 0;
    if (!parseTime(match.captured(6), hour, minute, second))
        return std::nullopt;
    const bool chinese = match.captured(2) == QStringLiteral("年");
    if (chinese && match.captured(4) != QStringLiteral("月"))
        return std::nullopt;
    if (a.size() >= 3 || chinese || (preference == DateOrder::YearFirst && c.size() <= 2))
        return makeDateTime(a.toInt(), b.toInt(), c.toInt(), hour, minute, second);
    // month-day-year
    return makeDateTime(c.toInt(), a.toInt(), b.toInt(), hour, minute, second);
}

} // namespace

std::optional<DateParts> parseCanonicalDateParts(QStringView text)
{
    if ((text.size() != 19 && text.size() != 10) || text[4] != u'-' || text[7] != u'-')
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (i != 4 && i != 7 && i != 10 && i != 13 && i != 16 && !text[i].isDigit())
            return std::nullopt;
    }
    if (text.size() == 10)
        return makeDateParts(digits(text, 0, 4), digits(text, 5, 2), digits(text, 8, 2));
    if (text[10] != u' ' || text[13] != u':' || text[16] != u':')
        return std::nullopt;
    return makeDateParts(digits(text, 0, 4), digits(text, 5, 2), digits(text, 8, 2),
        digits(text, 11, 2), digits(text, 14, 2), digits(text, 17, 2));
}

std::optional<QDateTime> parseCanonicalDate(QStringView text)
{
    // Fast path for the stored form.
    if (const auto parts = parseCanonicalDateParts(text))
        return QDateTime(parts->date, parts->time);
    return parseDateText(text);
}

std::optional<QDateTime> parseDateText(QStringView text, DateOrder order)
{
    return parseNumericDate(text, order);
}

} // namespace quel::db

#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

namespace quel::widgets {

// "h:m:s" without leading zeros, the leading "0:" groups dropped: 5 -> 0:5, 65 -> 1:5,
// 3725 -> 1:2:5; 0 and below -> 0:0. Durations of 60 hours and more show all their hours.
QString FormatDuration(long long seconds);

// Position / total cut down to tenths of a percent, as the progress window shows it:
// 1 of 3 -> "33.3%", 3 of 4 -> "75%", 0 -> "0%". A total below 1 counts as 1.
QString PercentText(long long position, long long total);

// Position / total in thousandths, cut down (never rounded up).
long long PerMille(long long position, long long total);

// What one step changes in the progress window; unset texts stay as they were.
struct IndicatorUpdate
{
    QString percent;
    std::optional<QString> title;
    std::optional<QString> time; // elapsed/remaining/estimated total
    std::optional<QString> count; // "(position/total)"
};

// The progress state of the one program-wide progress window, free of widgets so the
// texts can be checked without a window. Times are passed in by the caller.
class IndicatorState
{
public:
    // A negative position keeps the current one.
    void start(const QString& title, long long total, long long position, const QDateTime& now);
    IndicatorUpdate step(long long n, const QString& mode, const QDateTime& now);

    const QString& title() const { return m_title; }
    long long total() const { return m_total; }
    long long position() const { return m_position; }
    // Width of the bar as a share of the box; above 1 when the position passed the total.
    double barFraction() const;

private:
    QString m_title;
    long long m_total = 1;
    long long m_position = 0;
    QDateTime m_startTime;
};

} // namespace quel::widgets

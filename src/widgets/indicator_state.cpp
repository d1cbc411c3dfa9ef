#include "widgets/indicator_state.h"

#include <cmath>

namespace quel::widgets {

namespace {

long long floorDiv(long long a, long long b)
{
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

} // namespace

QString FormatDuration(long long t)
{
    if (t <= 0)
        return QStringLiteral("0:0");
    const long long seconds = t % 60;
    const long long minutes = (t / 60) % 60;
    const long long hours = t / 3600;
    QString text = QStringLiteral("0:%1:%2:%3").arg(hours).arg(minutes).arg(seconds);
    for (int i = 0; i < 2 && text.startsWith(QLatin1String("0:")); ++i)
        text.remove(0, 2);
    return text;
}

long long PerMille(long long position, long long total)
{
    if (total < 1)
        total = 1;
    return floorDiv(position * 1000, total);
}

QString PercentText(long long position, long long total)
{
    const long long perMille = PerMille(position, total);
    const long long whole = perMille / 10;
    const long long tenths = std::llabs(perMille % 10);
    QString text;
    if (perMille < 0 && whole == 0)
        text = QStringLiteral("-");
    text += QString::number(whole);
    if (tenths != 0)
        text += QLatin1Char('.') + QString::number(tenths);
    return text + QLatin1Char('%');
}

void IndicatorState::start(
    const QString& title, long long total, long long position, const QDateTime& now)
{
    m_title = title;
    m_total = total < 1 ? 1 : total;
    if (position >= 0)
        m_position = position;
    m_startTime = now;
}

IndicatorUpdate IndicatorState::step(long long n, const QString& mode, const QDateTime& now)
{
    if (m_total < 1)
        m_total = 1;
    m_position += n;
    IndicatorUpdate update;
    update.percent = PercentText(m_position, m_total);
    if (mode.isEmpty())
        return update;
    if (mode.toLower() != QLatin1String("pages")) {
        m_title = mode;
        update.title = mode;
        return update;
    }
    const long long perMille = PerMille(m_position, m_total);
    if (perMille < 1)
        return update;
    const long long elapsed = m_startTime.isValid() ? m_startTime.msecsTo(now) / 1000 : 0;
    // Rounded half to even, as the estimate always was.
    const long long estimated = std::llrint(static_cast<double>(elapsed) * 1000.0 / perMille);
    const long long remaining = estimated - elapsed;
    update.time = FormatDuration(elapsed) + QLatin1Char('/') + FormatDuration(remaining)
        + QLatin1Char('/') + FormatDuration(estimated);
    update.count = QStringLiteral("(%1/%2)").arg(m_position).arg(m_total);
    return update;
}

double IndicatorState::barFraction() const
{
    return static_cast<double>(m_position) / static_cast<double>(m_total < 1 ? 1 : m_total);
}

} // namespace quel::widgets

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/console_feedback.h"

#include <QCoreApplication>

namespace quel::core {

ConsoleFeedback::ConsoleFeedback(std::function<bool()> stopRequested)
    : m_ownStream(std::make_unique<QTextStream>(stderr))
    , m_out(*m_ownStream)
    , m_stopRequested(std::move(stopRequested))
{ }

ConsoleFeedback::ConsoleFeedback(QTextStream& out, std::function<bool()> stopRequested)
    : m_out(out)
    , m_stopRequested(std::move(stopRequested))
{ }

void ConsoleFeedback::printLine(const QString& text)
{
    // Qt::endl flushes, so the lines keep their order with anything else on the stream.
    m_out << text << Qt::endl;
}

void ConsoleFeedback::message(const QString& text)
{
    m_messages << text;
    printLine(text);
}

bool ConsoleFeedback::ask(const QString& text)
{
    m_messages << text;
    printLine(text + QStringLiteral(" -> 否"));
    return false;
}

void ConsoleFeedback::indicatorStart(const QString& title, long total, long position)
{
    m_title = title;
    m_total = total < 1 ? 1 : total;
    if (position >= 0)
        m_position = position;
    printLine(title);
}

void ConsoleFeedback::indicatorStep(long n, const QString& mode)
{
    m_position += n;
    if (mode.isEmpty())
        return;
    if (mode.toLower() != QLatin1String("pages")) {
        m_title = mode;
        printLine(mode);
        return;
    }
    printLine(QStringLiteral("%1 (%2/%3)").arg(m_title).arg(m_position).arg(m_total));
}

void ConsoleFeedback::indicatorClose() { }

bool ConsoleFeedback::isIndicatorOpen() const
{
    return !m_stopRequested || !m_stopRequested();
}

void ConsoleFeedback::processEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

} // namespace quel::core

#include "shell/shell_feedback.h"

#include "widgets/dialogs.h"
#include "widgets/indicator.h"

#include <QCoreApplication>

namespace quel::shell {

ShellFeedback::ShellFeedback(QWidget* parent)
    : ShellFeedback(widgets::Indicator::program(), parent)
{ }

ShellFeedback::ShellFeedback(widgets::Indicator& indicator, QWidget* parent)
    : m_indicator(indicator)
    , m_parent(parent)
{ }

void ShellFeedback::message(const QString& text)
{
    // The progress window stays above every other window: a message shown while it is open
    // would sit behind it. A message ends what the indicator shows, so it closes first.
    if (m_indicator.isOpen())
        m_indicator.close();
    widgets::Dialogs::message(m_parent, text);
}

bool ShellFeedback::ask(const QString& text)
{
    return widgets::Dialogs::ask(m_parent, text);
}

void ShellFeedback::indicatorStart(const QString& title, long total, long position)
{
    m_indicator.start(title, total, position);
}

void ShellFeedback::indicatorStep(long n, const QString& mode)
{
    m_indicator.step(n, mode);
}

void ShellFeedback::indicatorClose()
{
    m_indicator.close();
}

bool ShellFeedback::isIndicatorOpen() const
{
    return m_indicator.isOpen();
}

void ShellFeedback::processEvents()
{
    QCoreApplication::processEvents();
}

} // namespace quel::shell

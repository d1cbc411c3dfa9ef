#include "shell/interrupt_watcher.h"

#include "core/exit_codes.h"

#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace quel::shell {

namespace {

// What the handler may touch: a flag and a descriptor, both set up before it is installed.
volatile std::sig_atomic_t g_signal = 0;
volatile int g_writeEnd = -1;

extern "C" void onTerminatingSignal(int signo)
{
    if (g_signal != 0) {
        // Asked again while shutting down: do not wait any longer.
        std::signal(signo, SIG_DFL);
        std::raise(signo);
        return;
    }
    g_signal = signo;
    const int saved = errno;
    const char byte = 1;
    if (g_writeEnd >= 0)
        (void)!::write(g_writeEnd, &byte, 1);
    errno = saved;
}

} // namespace

InterruptWatcher::InterruptWatcher(QObject* parent)
    : QObject(parent)
{
    g_signal = 0;
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        g_writeEnd = m_pipe[1];
        m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &InterruptWatcher::readPipe);
    }
    struct sigaction action
    {
    };
    action.sa_handler = onTerminatingSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &m_previousInt);
    ::sigaction(SIGTERM, &action, &m_previousTerm);
}

InterruptWatcher::~InterruptWatcher()
{
    ::sigaction(SIGINT, &m_previousInt, nullptr);
    ::sigaction(SIGTERM, &m_previousTerm, nullptr);
    g_writeEnd = -1;
    delete m_notifier;
    for (int fd : m_pipe) {
        if (fd >= 0)
            ::close(fd);
    }
}

int InterruptWatcher::signalNumber()
{
    return int(g_signal);
}

int InterruptWatcher::exitCode()
{
    return g_signal == 0 ? 0 : core::SignalExitCode(int(g_signal));
}

void InterruptWatcher::readPipe()
{
    char buffer[16];
    while (::read(m_pipe[0], buffer, sizeof buffer) > 0) { }
    if (g_signal != 0)
        emit interrupted(int(g_signal));
}

} // namespace quel::shell

#pragma once

#include <QObject>
#include <csignal>

class QSocketNotifier;

namespace quel::shell {

// Turns SIGINT and SIGTERM into a Qt signal on the program's own thread, so that a batch run
// or the window can end its workers, keep what it imported and drop its work tables
// instead of dying part way. The handler only notes the signal and writes one byte into a
// pipe that a socket notifier reads. A second signal while the first is being handled ends
// the program at once, the default way. One watcher at a time; the previous handlers come
// back when it is destroyed.
class InterruptWatcher : public QObject
{
    Q_OBJECT
public:
    explicit InterruptWatcher(QObject* parent = nullptr);
    ~InterruptWatcher() override;
    InterruptWatcher(const InterruptWatcher&) = delete;
    InterruptWatcher& operator=(const InterruptWatcher&) = delete;

    // The first signal that arrived; 0 while none has. Read straight from the handler's
    // note, so it is right even before the event loop has run.
    static int signalNumber();
    // The exit code after that signal: 128 + its number (130 for SIGINT, 143 for SIGTERM);
    // 0 when none arrived.
    static int exitCode();
    // Whether either signal has arrived: the run should stop at its next step.
    static bool stopRequested() { return signalNumber() != 0; }

signals:
    void interrupted(int signalNumber);

private:
    void readPipe();

    int m_pipe[2] = { -1, -1 };
    QSocketNotifier* m_notifier = nullptr;
    struct sigaction m_previousInt
    {
    };
    struct sigaction m_previousTerm
    {
    };
};

} // namespace quel::shell

#include "worker/watchdog.h"

#include <cstdio>
#include <unistd.h>

namespace quel::worker {

Watchdog::Watchdog(std::chrono::milliseconds limit, int exitCode)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    m_thread = std::thread([this, deadline, exitCode] { watch(deadline, exitCode); });
}

Watchdog::~Watchdog()
{
    {
        std::lock_guard lock(m_mutex);
        m_disarmed = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void Watchdog::watch(std::chrono::steady_clock::time_point deadline, int exitCode)
{
    std::unique_lock lock(m_mutex);
    if (m_wake.wait_until(lock, deadline, [this] { return m_disarmed; }))
        return;
    static const char message[] = "quelfetch: time limit reached, job abandoned\n";
    (void)!::write(2, message, sizeof message - 1);
    // Nothing of the job may run on: no destructors, no buffered output, no result file.
    ::_exit(exitCode);
}

} // namespace quel::worker

#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace quel::worker {

// Ends the process when a job runs past its time limit. It runs on a thread of its own, so
// it fires also while the event loop is held up (a page that takes long to parse, a
// blocking call): the process exits with exitCode and writes nothing more. Destroying the
// watchdog before the limit disarms it.
class Watchdog
{
public:
    Watchdog(std::chrono::milliseconds limit, int exitCode);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    void watch(std::chrono::steady_clock::time_point deadline, int exitCode);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_disarmed = false;
    std::thread m_thread;
};

} // namespace quel::worker

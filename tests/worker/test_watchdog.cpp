#include "worker/watchdog.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>

using quel::worker::Watchdog;
using namespace std::chrono_literals;

TEST(WatchdogDeathTest, EndsTheProcessWhileTheJobIsStuckAndNotOnceDisarmed)
{
    // The job's thread is busy (as in a long parse) and never returns to its event loop.
    EXPECT_EXIT(
        {
            Watchdog watchdog(100ms, 4);
            std::this_thread::sleep_for(20s);
            std::exit(0);
        },
        ::testing::ExitedWithCode(4), "time limit");

    {
        Watchdog disarmed(100ms, 4);
    }
    std::this_thread::sleep_for(200ms);
    SUCCEED(); // still here
}

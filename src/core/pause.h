#pragma once

namespace quel::core {

// Lets the event loop run for about n milliseconds: timers, network replies and clicks are
// handled meanwhile, nothing sleeps. Without an application object it returns at once.
void Pause(int n);

} // namespace quel::core

// The one clock of the system: sleeps and tick counts. Tests can replace it
// so that waits of seconds pass at once.
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

void Sleep(uint32_t milliseconds);
uint32_t GetTickCount();

struct ClockHooks {
    std::function<void(uint32_t)> sleep;
    std::function<uint32_t()> tickCount;
};
// Replaces the clock; empty hooks restore the real one.
void SetClockHooks(ClockHooks hooks);

} // namespace platform

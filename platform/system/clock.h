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

namespace platform {

struct SystemTime {
    uint16_t year = 1980;
    uint16_t month = 1;
    uint16_t day = 1;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;
};

SystemTime GetSystemTime();   // UTC
SystemTime GetLocalTime();

// Fixes both times for tests; nullptr goes back to the real clock.
void SetFixedTime(const SystemTime* time);

} // namespace platform

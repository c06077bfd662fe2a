#include "platform/system/clock.h"

#include <chrono>
#include <thread>

namespace platform {

namespace {

ClockHooks& Hooks() {
    static ClockHooks hooks;
    return hooks;
}

} // namespace

void Sleep(uint32_t milliseconds) {
    if (Hooks().sleep) {
        Hooks().sleep(milliseconds);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

uint32_t GetTickCount() {
    if (Hooks().tickCount) {
        return Hooks().tickCount();
    }
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void SetClockHooks(ClockHooks hooks) { Hooks() = std::move(hooks); }

} // namespace platform

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

#include <ctime>
#include <optional>

namespace platform {

namespace {

std::optional<SystemTime>& FixedTime() {
    static std::optional<SystemTime> time;
    return time;
}

SystemTime ReadClock(bool utc) {
    if (FixedTime()) {
        return *FixedTime();
    }
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm parts{};
    if (utc) {
        gmtime_r(&seconds, &parts);
    } else {
        localtime_r(&seconds, &parts);
    }
    const auto sinceEpoch = now.time_since_epoch();
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000;
    SystemTime time;
    time.year = static_cast<uint16_t>(parts.tm_year + 1900);
    time.month = static_cast<uint16_t>(parts.tm_mon + 1);
    time.day = static_cast<uint16_t>(parts.tm_mday);
    time.hour = static_cast<uint16_t>(parts.tm_hour);
    time.minute = static_cast<uint16_t>(parts.tm_min);
    time.second = static_cast<uint16_t>(parts.tm_sec);
    time.milliseconds = static_cast<uint16_t>(millis);
    return time;
}

} // namespace

SystemTime GetSystemTime() { return ReadClock(true); }
SystemTime GetLocalTime() { return ReadClock(false); }

void SetFixedTime(const SystemTime* time) {
    if (time != nullptr) {
        FixedTime() = *time;
    } else {
        FixedTime().reset();
    }
}

} // namespace platform

#include "updater/wizard/erase_timer.h"

#include "platform/system/clock.h"

namespace updater {

std::atomic<bool> g_bStopEraseTimer{true};

namespace {

constexpr uint32_t EraseTimerSpanMs = 20000;
constexpr uint32_t EraseTimerStepMs = 200;

} // namespace

void RunEraseTimer(const std::atomic<bool>& stop, const std::function<void(LPARAM)>& position) {
    uint32_t elapsed = 0;
    LPARAM previous = 0;
    while (!stop && elapsed < EraseTimerSpanMs) {
        platform::Sleep(EraseTimerStepMs);
        elapsed += EraseTimerStepMs;
        const float fraction = static_cast<float>(elapsed) * 0.00005f;
        const auto percent = static_cast<LPARAM>(static_cast<double>(fraction) * 100);
        if (percent != previous) {
            position(percent);
            previous = percent;
        }
    }
    position(100);
}

unsigned EraseTimerWorker(Sheet& sheet) {
    RunEraseTimer(g_bStopEraseTimer,
                  [&sheet](LPARAM percent) { sheet.SendSheetMessage(WM_WIZ_PROGRESS, ProgressPosition, percent); });
    return 1;
}

} // namespace updater

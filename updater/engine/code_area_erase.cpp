#include "updater/engine/code_area_erase.h"

#include "updater/engine/hex_image.h"

#include "platform/system/clock.h"

namespace updater {

std::atomic<bool> g_bStopEraseTimer{true};

namespace {

constexpr int GroupC = -1;   // 'C'
constexpr uint8_t CodeErase = 0x02;
constexpr uint8_t CodeCountedErase = 0x03;
constexpr uint32_t EraseTimerSpanMs = 20000;
constexpr uint32_t EraseTimerStepMs = 200;

void SendProgress(Sheet& sheet, LPARAM position) { sheet.SendSheetMessage(WM_WIZ_PROGRESS, ProgressPosition, position); }

uint16_t Be16(const uint8_t* at) { return static_cast<uint16_t>((at[0] << 8) | at[1]); }

bool CountedErase(Sheet& sheet, UsbLink* link, const portio::Block& first) {
    const uint32_t total = Be16(&first[6]);
    portio::Block reply{};
    if (total != 0) {
        LPARAM previous = 0;
        for (;;) {
            if (!ReadReply(link, reply)) {
                return false;
            }
            const uint32_t step = Be16(&reply[6]);
            const auto percent = static_cast<LPARAM>((step + 2) * 100 / total);
            if (percent != previous) {
                SendProgress(sheet, percent);
                previous = percent;
            }
            if (step + 1 >= total) {
                break;
            }
        }
    }
    SendProgress(sheet, 0);
    return ReadReply(link, reply);   // the end of the erase; what it says does not matter
}

bool EraseSteps(Sheet& sheet, UsbLink* link) {
    const uint8_t area = ApplicationArea;
    if (!SendCommand(link, portio::FormGroupCode, GroupC, CodeCountedErase, &area, 1)) {
        return false;
    }
    portio::Block reply{};
    if (!ReadReply(link, reply)) {
        return false;
    }
    if (reply[5] == 0x00 && reply[8] == '.') {
        return CountedErase(sheet, link, reply);
    }
    // A player that does not count: the plain erase answers once, when done.
    g_bStopEraseTimer = false;
    sheet.BeginThread([&sheet] { return EraseTimerWorker(sheet); });
    if (!SendCommand(link, portio::FormGroupCode, GroupC, CodeErase, &area, 1)) {
        return false;
    }
    return ReadReply(link, reply);
}

} // namespace

bool EraseCodeArea(Sheet& sheet, UsbLink* link) {
    const bool erased = EraseSteps(sheet, link);
    g_bStopEraseTimer = true;
    if (erased) {
        SendProgress(sheet, 0);
    }
    return erased;
}

unsigned EraseTimerWorker(Sheet& sheet) {
    uint32_t elapsed = 0;
    LPARAM previous = 0;
    while (!g_bStopEraseTimer && elapsed < EraseTimerSpanMs) {
        platform::Sleep(EraseTimerStepMs);
        elapsed += EraseTimerStepMs;
        const float fraction = static_cast<float>(elapsed) * 0.00005f;
        const auto percent = static_cast<LPARAM>(static_cast<double>(fraction) * 100);
        if (percent != previous) {
            SendProgress(sheet, percent);
            previous = percent;
        }
    }
    SendProgress(sheet, 100);
    return 1;
}

} // namespace updater

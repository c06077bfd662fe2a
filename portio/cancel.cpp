// Cancelling an open data phase.
#include "platform/system/clock.h"
#include "platform/window/window_messages.h"
#include "portio/protocol_session.h"

namespace portio {

namespace {

constexpr int PumpRounds = 100;
constexpr uint32_t PumpPauseMs = 10;

// Keeps the calling thread's windows answering while the player winds down.
void PumpThreadMessages() {
    platform::MSG message;
    while (platform::PeekMessage(message, true)) {
        const bool dropped = message.hwnd == nullptr || message.message == platform::WM_DESTROY ||
                             message.message == platform::WM_CLOSE || message.message == platform::WM_QUIT;
        if (!dropped) {
            platform::SendMessage(message.hwnd, message.message, message.wParam, message.lParam);
        }
    }
}

} // namespace

Result ProtocolSession::Cancel() {
    if (current_ == nullptr) {
        return Result::Invalid;
    }
    for (int round = 0; round < PumpRounds; ++round) {
        PumpThreadMessages();
        platform::Sleep(PumpPauseMs);
    }
    AbortDataPhase();
    return Result::Ok;
}

} // namespace portio

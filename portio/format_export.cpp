// Formatting a storage with progress messages to the caller's window.
#include "platform/window/window_messages.h"
#include "portio.h"
#include "portio/protocol_state.h"
#include "portio/reply_block.h"

using namespace portio;

namespace {

constexpr platform::WPARAM ProgressStarted = 0;
constexpr platform::WPARAM ProgressFormat = 2;
constexpr platform::WPARAM ProgressLowLevel = 3;
constexpr platform::WPARAM ProgressSecondStorage = 5;
constexpr platform::WPARAM ProgressPercent = 6;
constexpr int QuietRepliesAfterEnd = 1000;

int Finish(int result) {
    CloseCurrentLink();
    return result;
}

} // namespace

extern "C" PORTIO_API int dll_fn_format_device(int storage, PORTIO_HWND window, int message, int lowLevel) {
    if (!IsPlayerReachable() || !OpenCurrentLink()) {
        return 2;
    }
    const uint16_t code = lowLevel != 0 ? TwoLetterCode('L', 'D') : TwoLetterCode('F', 'D');
    if (!SendCommand(CurrentLink(), FormGroupWord, storage, code, nullptr, 0)) {
        return Finish(5);
    }
    const auto notify = [&](platform::WPARAM wParam, platform::LPARAM lParam) {
        platform::SendMessage(window, static_cast<platform::UINT>(message), wParam, lParam);
    };
    notify(ProgressStarted, 0);
    notify(storage != 0 ? ProgressSecondStorage : lowLevel != 0 ? ProgressLowLevel : ProgressFormat, 0);

    Block reply{};
    for (;;) {
        if (!ReadReply(CurrentLink(), reply) || !IsReplyOk(reply.data())) {
            return Finish(3);
        }
        notify(ProgressPercent, reply[5] + 1);
        if (reply[5] == '.' && IsOkReply(reply.data())) {
            notify(ProgressPercent, 100);
            return Finish(0);
        }
        if (reply[5] >= 99) {
            break;
        }
    }
    // At 99 % the player may still take a while; only the OK reply ends it.
    for (int i = 0; i < QuietRepliesAfterEnd; ++i) {
        if (!ReadReply(CurrentLink(), reply)) {
            return Finish(3);
        }
        if (IsOkReply(reply.data())) {
            return Finish(0);
        }
    }
    return Finish(3);
}

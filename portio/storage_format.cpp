// Formatting a storage: "FD" or "LD", then progress replies until the player
// says it is done.
#include "portio/protocol_session.h"
#include "wire/reply_view.h"

namespace portio {

namespace {

constexpr uint8_t LastProgress = 99;
constexpr int QuietRepliesAfterEnd = 1000;
constexpr int Done = 100;

} // namespace

Result ProtocolSession::Format(int storage, bool lowLevel, const FormatProgress& progress) {
    if (!OpenLinkToReachablePlayer()) {
        return Result::Unreachable;
    }
    const auto finish = [this](Result result) {
        CloseCurrentLink();
        return result;
    };
    const uint16_t code = lowLevel ? wire::TwoLetterCode('L', 'D') : wire::TwoLetterCode('F', 'D');
    if (!link_.SendCommand(current_, wire::FormGroupWord, storage, code, nullptr, 0)) {
        return finish(Result::NotSent);
    }
    progress(FormatStage::Started, 0);
    progress(storage != 0 ? FormatStage::SecondStorage : lowLevel ? FormatStage::LowLevel : FormatStage::Format, 0);

    wire::Block block{};
    const wire::ReplyView reply(block);
    for (;;) {
        if (!link_.ReadReply(current_, block) || !reply.IsAccepted()) {
            return finish(Result::NoReply);
        }
        progress(FormatStage::Percent, reply.Percentage() + 1);
        if (reply.IsOk()) {
            progress(FormatStage::Percent, Done);
            return finish(Result::Ok);
        }
        if (reply.Percentage() >= LastProgress) {
            break;
        }
    }
    // At 99 % the player may still take a while; only the OK reply ends it.
    for (int i = 0; i < QuietRepliesAfterEnd; ++i) {
        if (!link_.ReadReply(current_, block)) {
            return finish(Result::NoReply);
        }
        if (reply.IsOk()) {
            return finish(Result::Ok);
        }
    }
    return finish(Result::NoReply);
}

} // namespace portio

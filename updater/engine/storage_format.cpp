#include "updater/engine/storage_format.h"

#include "updater/engine/engine_link.h"
#include "wire/reply_view.h"

namespace updater {

namespace {

constexpr uint8_t ProgressDone = 99;

Outcome FormatSteps(int groupIndex, Progress& progress) {
    UsbLink* link = ReopenEngineLink();
    if (link == nullptr) {
        return Outcome::LinkFailed;
    }
    usblink::Link& layer = EngineLinkLayer();
    if (!layer.SendCommand(link, wire::FormGroupWord, groupIndex, wire::TwoLetterCode('L', 'D'), nullptr, 0)) {
        return Outcome::SendFailed;
    }
    wire::Block reply{};
    const wire::ReplyView view(reply);
    do {
        if (!layer.ReadReply(link, reply)) {
            return Outcome::NoReply;
        }
        // Its fifth byte is the '.', which is no percentage.
        if (view.IsOk()) {
            return Outcome::Done;
        }
        if (!view.IsAcceptedAndTerminated()) {
            return Outcome::Refused;
        }
        progress.Report(Phase::Format, view.Percentage());
    } while (view.Percentage() < ProgressDone);
    for (int i = 0; i < MaxFormatEndReplies; ++i) {
        if (!layer.ReadReply(link, reply)) {
            return Outcome::NoReply;
        }
        if (view.IsOk()) {
            return Outcome::Done;
        }
    }
    return Outcome::Unfinished;
}

} // namespace

Outcome FormatStorage(int groupIndex, Progress& progress) {
    progress.Begin(Phase::Format, Pace::Counted);
    const Outcome outcome = FormatSteps(groupIndex, progress);
    CloseEngineLink();
    progress.End(Phase::Format, outcome);
    return outcome;
}

Outcome FormatMainStorage(Progress& progress) {
    SetLinkTimeouts(LongReadTimeoutMs, WriteTimeoutMs);
    const Outcome outcome = FormatStorage(MainStorage, progress);
    SetLinkTimeouts(UsualReadTimeoutMs, WriteTimeoutMs);
    return outcome;
}

} // namespace updater

#include "updater/engine/code_area_erase.h"

#include "updater/engine/hex_image.h"
#include "wire/reply_view.h"

namespace updater {

namespace {

constexpr int GroupC = -1;   // 'C'
constexpr uint8_t CodeErase = 0x02;
constexpr uint8_t CodeCountedErase = 0x03;

Outcome CountedErase(usblink::Link& layer, UsbLink* link, const wire::Block& first, Progress& progress) {
    const uint32_t total = wire::ReplyView(first).WordAt(6);
    wire::Block reply{};
    if (total != 0) {
        int previous = 0;
        for (;;) {
            if (!layer.ReadReply(link, reply)) {
                return Outcome::NoReply;
            }
            const uint32_t step = wire::ReplyView(reply).WordAt(6);
            const auto percent = static_cast<int>((step + 2) * 100 / total);
            if (percent != previous) {
                progress.Report(Phase::Erase, percent);
                previous = percent;
            }
            if (step + 1 >= total) {
                break;
            }
        }
    }
    progress.Report(Phase::Erase, 0);
    // The end of the erase; what it says does not matter.
    return layer.ReadReply(link, reply) ? Outcome::Done : Outcome::NoReply;
}

Outcome EraseSteps(UsbLink* link, Progress& progress) {
    usblink::Link& layer = EngineLinkLayer();
    const uint8_t area = ApplicationArea;
    if (!layer.SendCommand(link, wire::FormGroupCode, GroupC, CodeCountedErase, &area, 1)) {
        return Outcome::SendFailed;
    }
    wire::Block reply{};
    if (!layer.ReadReply(link, reply)) {
        return Outcome::NoReply;
    }
    if (reply[5] == 0x00 && reply[8] == '.') {
        progress.Begin(Phase::Erase, Pace::Counted);
        return CountedErase(layer, link, reply, progress);
    }
    // A player that does not count: the plain erase answers once, when done.
    progress.Begin(Phase::Erase, Pace::Uncounted);
    if (!layer.SendCommand(link, wire::FormGroupCode, GroupC, CodeErase, &area, 1)) {
        return Outcome::SendFailed;
    }
    return layer.ReadReply(link, reply) ? Outcome::Done : Outcome::NoReply;
}

} // namespace

Outcome EraseCodeArea(UsbLink* link, Progress& progress) {
    const Outcome outcome = EraseSteps(link, progress);
    progress.End(Phase::Erase, outcome);
    return outcome;
}

} // namespace updater

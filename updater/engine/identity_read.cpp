#include "updater/engine/identity_read.h"

#include "updater/engine/engine_link.h"

namespace updater {

Outcome ReadIdentification(wire::Identification& identification) {
    usblink::Link& layer = EngineLinkLayer();
    UsbLink* link = layer.OpenLink();
    if (link == nullptr) {
        return Outcome::LinkFailed;
    }
    wire::Block reply{};
    Outcome outcome = Outcome::Done;
    if (!layer.SendCommand(link, wire::FormCode, 0, 'Y', nullptr, 0)) {
        outcome = Outcome::SendFailed;
    } else if (!layer.ReadReply(link, reply)) {
        outcome = Outcome::NoReply;
    }
    layer.CloseLink(link);
    if (outcome == Outcome::Done) {
        identification = wire::ParseIdentification(reply);
    }
    return outcome;
}

} // namespace updater

// The identification exchange "Y" on a link of its own.
#include "portio/protocol_session.h"

namespace portio {

std::optional<wire::Identification> ProtocolSession::QueryVersion() {
    usblink::UsbLink* link = link_.OpenLink();
    if (link == nullptr) {
        return std::nullopt;
    }
    wire::Block reply{};
    const bool answered = link_.SendCommand(link, wire::FormCode, 0, 'Y', nullptr, 0) && link_.ReadReply(link, reply);
    link_.CloseLink(link);
    if (!answered) {
        return std::nullopt;
    }
    wire::Identification identification = wire::ParseIdentification(reply);
    // Without a version number the library has nothing to go by.
    if (!identification.recognised || identification.version == 0) {
        return std::nullopt;
    }
    firmwareVersion_ = identification.version;
    return identification;
}

} // namespace portio

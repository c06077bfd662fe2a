// Files named by their position among the files: the command that names one,
// deleting a file and swapping two.
#include "portio/protocol_session.h"
#include "wire/byte_order.h"
#include "wire/reply_view.h"

namespace portio {

Result ProtocolSession::FilePositionCommand(int storage, char code, int position, wire::Block& reply) {
    if (!OpenLinkToReachablePlayer()) {
        return Result::Unreachable;
    }
    uint8_t payload[2];
    wire::StoreBe16(payload, static_cast<uint16_t>(position));
    return Exchange(wire::FormGroupCode, storage, static_cast<uint8_t>(code), payload, reply);
}

Result ProtocolSession::DeleteFile(int storage, int position) {
    wire::Block reply{};
    if (const Result sent = FilePositionCommand(storage, 'E', position, reply); sent != Result::Ok) {
        return sent;
    }
    CloseCurrentLink();
    return wire::ReplyView(reply).IsOk() ? Result::Ok : Result::NoReply;
}

Result ProtocolSession::SwapFiles(int storage, int first, int second) {
    // No reachability check before a swap.
    if (!OpenCurrentLink()) {
        return Result::Unreachable;
    }
    uint8_t payload[4];
    wire::StoreBe16(payload, static_cast<uint16_t>(first));
    wire::StoreBe16(payload + 2, static_cast<uint16_t>(second));
    wire::Block reply{};
    if (const Result sent = Exchange(wire::FormGroupCode, storage, 'P', payload, reply); sent != Result::Ok) {
        return sent;
    }
    if (wire::ReplyView(reply).IsOk()) {
        return Result::Ok;
    }
    CloseCurrentLink();
    return Result::NoReply;
}

} // namespace portio

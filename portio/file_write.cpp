// Writing a file: "W" with its entries; the data phase follows.
#include "portio/file_entries.h"
#include "portio/protocol_session.h"
#include "wire/reply_view.h"

namespace portio {

namespace {

constexpr uint8_t ErrorNoRoom = 0x27;
constexpr uint8_t ErrorFolderFullOrNameTaken = 0x19;

Result RefusalResult(const wire::ReplyView& reply) {
    if (!reply.IsRefusal()) {
        return Result::NoReply;
    }
    switch (reply.ErrorCode()) {
    case ErrorNoRoom:
        return Result::NoRoom;
    case ErrorFolderFullOrNameTaken:
        return Result::FolderFullOrNameTaken;
    default:
        return Result::NoReply;
    }
}

} // namespace

Result ProtocolSession::OpenFileWrite(const FileRecord& record, int storage) {
    // A name the block cannot carry is refused before anything reaches the player.
    const auto payload = BuildFileWritePayload(record);
    if (!payload) {
        return Result::NotSent;
    }
    if (!OpenLinkToReachablePlayer()) {
        return Result::Unreachable;
    }
    wire::Block block{};
    if (const Result sent = Exchange(wire::FormFileWrite, storage, 'W', *payload, block, /*opensDataPhase=*/true);
        sent != Result::Ok) {
        return sent;
    }
    const wire::ReplyView reply(block);
    if (reply.IsOk()) {
        writeLeft_ = record.size;
        return Result::Ok;
    }
    // A refusal leaves the player idle; a reply of another kind leaves it unknown.
    if (reply.IsRefusal()) {
        CloseCurrentLink();
    } else {
        AbortDataPhase();
    }
    return RefusalResult(reply);
}

} // namespace portio

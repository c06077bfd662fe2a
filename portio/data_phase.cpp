// Moving file data on the current link once a write, read or font download
// has opened its data phase.
#include "portio/protocol_session.h"

#include <cstring>

namespace portio {

using wire::BlockSize;

void ProtocolSession::AbortDataPhase() {
    link_.SendCancelRequest(current_);
    CloseCurrentLink();
}

Result ProtocolSession::WriteData(const uint8_t* data, uint32_t size) {
    if (current_ == nullptr) {
        return Result::Ok;
    }
    const uint32_t wholeChunks = size / DataChunkSize;
    for (uint32_t chunk = 0; chunk < wholeChunks; ++chunk) {
        if (link_.BulkWrite(current_, usblink::PipeCommands, data + size_t{chunk} * DataChunkSize, DataChunkSize) <
            0) {
            AbortDataPhase();
            return Result::WriteFailed;
        }
    }
    const uint32_t rest = size % DataChunkSize;
    if (rest == 0) {
        return Result::Ok;
    }
    // The padding is zeroed: nothing of earlier data goes to the player.
    const uint32_t padded = (rest + BlockSize - 1) / BlockSize * BlockSize;
    std::memcpy(writeTail_.data(), data + size_t{wholeChunks} * DataChunkSize, rest);
    std::memset(writeTail_.data() + rest, 0, padded - rest);
    if (link_.BulkWrite(current_, usblink::PipeCommands, writeTail_.data(), padded) < 0) {
        AbortDataPhase();
        return Result::WriteFailed;
    }
    return Result::Ok;
}

Result ProtocolSession::ReadData(uint8_t* buffer, uint32_t size) {
    if (current_ == nullptr) {
        return Result::NoReply;
    }
    const size_t blocks = (size_t{size} + BlockSize - 1) / BlockSize;
    // Zeroed: a short read leaves zeros, never an earlier read's bytes.
    readBlocks_.assign(blocks * BlockSize, 0);
    for (size_t block = 0; block < blocks; ++block) {
        if (link_.BulkRead(current_, usblink::PipeReplies, readBlocks_.data() + block * BlockSize, BlockSize) < 0) {
            AbortDataPhase();
            return Result::NoReply;
        }
    }
    std::memcpy(buffer, readBlocks_.data(), size);
    return Result::Ok;
}

} // namespace portio

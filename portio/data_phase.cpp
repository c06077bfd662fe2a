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
    // The player takes what follows its announced size for commands.
    if (writeLeft_ && size > *writeLeft_) {
        return Result::WriteFailed;
    }
    // The whole chunks are one queued run: the driver keeps several in flight.
    const uint32_t wholeChunks = size / DataChunkSize;
    if (wholeChunks > 0 &&
        link_.BulkWriteQueue(current_, usblink::PipeCommands, data, DataChunkSize, wholeChunks) < wholeChunks) {
        AbortDataPhase();
        return Result::WriteFailed;
    }
    if (writeLeft_) {
        *writeLeft_ -= size;
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
    const auto blocks = static_cast<uint32_t>((size_t{size} + BlockSize - 1) / BlockSize);
    // The staging buffers only grow; what a block does not fill is zeroed below.
    if (readBlocks_.size() < size_t{blocks} * BlockSize) {
        readBlocks_.resize(size_t{blocks} * BlockSize);
    }
    if (readCounts_.size() < blocks) {
        readCounts_.resize(blocks);
    }
    // Every block is one transfer of its own; the run keeps several in flight.
    if (link_.BulkReadQueue(current_, usblink::PipeReplies, readBlocks_.data(), BlockSize, blocks,
                            readCounts_.data()) < blocks) {
        AbortDataPhase();
        return Result::NoReply;
    }
    // A short block leaves zeros after its bytes, never an earlier read's.
    for (uint32_t block = 0; block < blocks; ++block) {
        if (readCounts_[block] < BlockSize) {
            std::memset(readBlocks_.data() + size_t{block} * BlockSize + readCounts_[block], 0,
                        BlockSize - readCounts_[block]);
        }
    }
    std::memcpy(buffer, readBlocks_.data(), size);
    return Result::Ok;
}

} // namespace portio

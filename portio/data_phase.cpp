#include "portio/data_phase.h"

#include "portio/protocol_state.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace portio {

void AbortDataPhase() {
    Link().SendCancelRequest(CurrentLink());
    CloseCurrentLink();
}

bool WriteData(const uint8_t* data, uint32_t size) {
    const uint32_t wholeChunks = size / DataChunkSize;
    for (uint32_t chunk = 0; chunk < wholeChunks; ++chunk) {
        if (Link().BulkWrite(CurrentLink(), usblink::PipeCommands, data + size_t{chunk} * DataChunkSize,
                             DataChunkSize) < 0) {
            AbortDataPhase();
            return false;
        }
    }
    const uint32_t rest = size % DataChunkSize;
    if (rest == 0) {
        return true;
    }
    // The padding is zeroed: nothing of earlier data goes to the player.
    static uint8_t staging[DataChunkSize];
    const uint32_t padded = (rest + BlockSize - 1) / BlockSize * BlockSize;
    std::memcpy(staging, data + size_t{wholeChunks} * DataChunkSize, rest);
    std::memset(staging + rest, 0, padded - rest);
    if (Link().BulkWrite(CurrentLink(), usblink::PipeCommands, staging, padded) < 0) {
        AbortDataPhase();
        return false;
    }
    return true;
}

bool ReadData(uint8_t* buffer, uint32_t size) {
    const size_t blocks = (size_t{size} + BlockSize - 1) / BlockSize;
    std::vector<uint8_t> staging(blocks * BlockSize, 0);
    for (size_t block = 0; block < blocks; ++block) {
        if (Link().BulkRead(CurrentLink(), usblink::PipeReplies, staging.data() + block * BlockSize, BlockSize) <
            0) {
            AbortDataPhase();
            return false;
        }
    }
    std::memcpy(buffer, staging.data(), size);
    return true;
}

} // namespace portio

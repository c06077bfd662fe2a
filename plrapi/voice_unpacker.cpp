#include "plrapi/voice_unpacker.h"

#include "plrapi/voice_wav_header.h"

#include <algorithm>
#include <cstring>

namespace plrapi {

void VoiceUnpacker::Start(uint32_t storedSize) {
    active_ = true;
    headerPending_ = true;
    storedSize_ = storedSize;
    blockFill_ = 0;
}

size_t VoiceUnpacker::Feed(const uint8_t* data, size_t size, bool last, uint8_t* out) {
    size_t placed = 0;
    if (headerPending_) {
        const auto header = BuildVoiceWavHeader(storedSize_);
        std::memcpy(out, header.data(), header.size());
        placed = header.size();
        headerPending_ = false;
    }
    while (size > 0) {
        const size_t taken = std::min(size, block_.size() - blockFill_);
        std::memcpy(block_.data() + blockFill_, data, taken);
        blockFill_ += taken;
        data += taken;
        size -= taken;
        if (blockFill_ == block_.size()) {
            std::memcpy(out + placed, block_.data() + VoiceMarkSize, VoiceDataPerBlock);
            placed += VoiceDataPerBlock;
            blockFill_ = 0;
        }
    }
    if (last) {
        if (blockFill_ > VoiceMarkSize) {
            std::memcpy(out + placed, block_.data() + VoiceMarkSize, blockFill_ - VoiceMarkSize);
            placed += blockFill_ - VoiceMarkSize;
        }
        blockFill_ = 0;
        active_ = false;
    }
    return placed;
}

} // namespace plrapi

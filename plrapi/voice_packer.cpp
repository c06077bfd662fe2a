#include "plrapi/voice_packer.h"

#include "plrapi/voice_wav_header.h"

#include <algorithm>
#include <cstring>

namespace plrapi {

uint64_t PackedVoiceSize(uint64_t pcSize) {
    const uint64_t data = pcSize - VoiceWavHeaderSize;
    return data + VoiceMarkSize * ((data + VoiceDataPerBlock - 1) / VoiceDataPerBlock);
}

void VoicePacker::Start(uint64_t pcSize) {
    active_ = true;
    headerPending_ = true;
    total_ = pcSize;
    consumed_ = 0;
    blockFill_ = 0;
    outFill_ = 0;
}

bool VoicePacker::AppendOut(const uint8_t* data, size_t size, PackedBytesSink& sink) {
    while (size > 0) {
        const size_t taken = std::min(size, out_.size() - outFill_);
        std::memcpy(out_.data() + outFill_, data, taken);
        outFill_ += taken;
        data += taken;
        size -= taken;
        if (outFill_ == out_.size()) {
            outFill_ = 0;
            if (!sink.Send(out_.data(), out_.size())) {
                return false;
            }
        }
    }
    return true;
}

VoicePacker::Step VoicePacker::Feed(const uint8_t* data, size_t size, PackedBytesSink& sink) {
    if (headerPending_) {
        if (size < VoiceWavHeaderSize || !IsVoiceWavHeader(data)) {
            active_ = false;
            return Step::NotVoice;
        }
        data += VoiceWavHeaderSize;
        size -= VoiceWavHeaderSize;
        consumed_ = VoiceWavHeaderSize;
        headerPending_ = false;
        std::fill_n(block_.begin(), VoiceMarkSize, VoiceMarkByte);
        blockFill_ = VoiceMarkSize;
    }
    bool end = consumed_ >= total_;
    while (size > 0 && !end) {
        const size_t taken = std::min(size, block_.size() - blockFill_);
        std::memcpy(block_.data() + blockFill_, data, taken);
        blockFill_ += taken;
        consumed_ += taken;
        data += taken;
        size -= taken;
        if (consumed_ >= total_) {
            blockFill_ -= static_cast<size_t>(consumed_ - total_);
            end = true;
        } else if (blockFill_ == block_.size()) {
            if (!AppendOut(block_.data(), block_.size(), sink)) {
                return Step::SendFailed;
            }
            blockFill_ = VoiceMarkSize;
        }
    }
    if (!end) {
        return Step::Taking;
    }
    if (blockFill_ > VoiceMarkSize && !AppendOut(block_.data(), blockFill_, sink)) {
        return Step::SendFailed;
    }
    sink.Hold(out_.data(), outFill_);
    outFill_ = 0;
    active_ = false;
    return Step::Finished;
}

} // namespace plrapi

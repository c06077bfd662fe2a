// Unpacks a voice file while it is downloaded: the player's 260-byte blocks
// in, a WAV file out (the 48-byte header first, then each block without its
// mark). Whole blocks are released as soon as they are complete.
#pragma once

#include "plrapi/voice_blocks.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace plrapi {

class VoiceUnpacker {
public:
    // A stored file of `storedSize` bytes.
    void Start(uint32_t storedSize);
    bool Active() const { return active_; }
    // Unpacks the next `size` stored bytes into `out`, which has room for
    // `size` + 256 bytes (+ 48 on the first call). `last`: they end the file,
    // so a partial block is released too. Returns the bytes placed.
    size_t Feed(const uint8_t* data, size_t size, bool last, uint8_t* out);

private:
    bool active_ = false;
    bool headerPending_ = false;
    uint32_t storedSize_ = 0;
    std::array<uint8_t, VoiceBlockSize> block_{};
    size_t blockFill_ = 0;
};

} // namespace plrapi

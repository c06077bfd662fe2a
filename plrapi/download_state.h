// What a download keeps between its calls (process-wide).
#pragma once

#include "plrapi/voice_unpacker.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace plrapi {

inline constexpr size_t DownloadChunkSize = 32768;

struct DownloadState {
    bool open = false;          // the player file is open and not read to its end
    uint32_t bytesRead = 0;     // data bytes delivered, the trailer not counted
    uint32_t fetched = 0;       // data bytes taken from the player
    uint32_t expected = 0;      // the listing's size of the file
    bool trailer = false;       // the stored file ends with the title trailer
    VoiceUnpacker voice;
    // The player sends whole 512-byte blocks: what a piece of odd size left
    // of its last block waits here for the next piece.
    std::array<uint8_t, 512> carry{};
    size_t carrySize = 0;
    size_t carryAt = 0;
    std::array<uint8_t, DownloadChunkSize> scratch{};   // a request with bytes beyond the piece
    std::vector<uint8_t> stored;                        // a voice file's bytes before unpacking
};

DownloadState& Download();

} // namespace plrapi

// What an upload keeps between its calls (process-wide, like the rest of
// the library's state).
#pragma once

#include "plrapi/upload_record.h"
#include "plrapi/voice_packer.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace plrapi {

inline constexpr size_t UploadChunkSize = 32768;
inline constexpr size_t TitleWindowSize = 128;
inline constexpr size_t HeadCaptureSize = 16384;

struct UploadState {
    bool open = false;             // the player has the file open for its data
    bool firstBlockSeen = false;
    UploadKind kind = UploadKind::Plain;
    uint64_t bytesWritten = 0;     // sent or held, the trailer counted where one is due
    std::array<uint8_t, TitleWindowSize> head{};
    std::array<uint8_t, TitleWindowSize> tail{};   // the last 128 bytes seen
    std::array<uint8_t, HeadCaptureSize> capture{};
    size_t captureSize = 0;
    std::array<uint8_t, UploadChunkSize> held{};   // the last partial chunk, sent at the close
    size_t heldSize = 0;
    VoicePacker voice;
};

UploadState& Upload();

} // namespace plrapi

// What an upload keeps between its calls (process-wide, like the rest of
// the library's state).
#pragma once

#include "plrapi/title_windows.h"
#include "plrapi/upload_record.h"
#include "plrapi/voice_packer.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace plrapi {

inline constexpr size_t UploadChunkSize = 32768;

struct UploadState {
    bool open = false;             // the player has the file open for its data
    UploadKind kind = UploadKind::Plain;
    uint64_t bytesWritten = 0;     // sent or held, the trailer counted where one is due
    TitleWindows titleWindows;
    std::array<uint8_t, UploadChunkSize> held{};   // the last partial chunk, sent at the close
    size_t heldSize = 0;
    VoicePacker voice;
};

UploadState& Upload();

} // namespace plrapi

// The record that announces an upload to the player: long name, a unique
// 8.3 name, attribute, the size the player will receive, the time.
#pragma once

#include "plrapi.h"
#include "plrapi/device_state.h"
#include "plrapi/last_error.h"

#include <cstdint>
#include <optional>

namespace plrapi {

// What the 8.3 extension makes of an upload, at its open and at its close alike.
enum class UploadKind {
    Plain,    // sent as it is
    Titled,   // MP3, WMA, MPE: followed by the title trailer
    Voice,    // ADP: repacked into the player's blocks, then the trailer
};

// The longest long name the record holds, and the most characters the
// player's long-name entries of one write command hold.
inline constexpr size_t MaxUploadNameBytes = sizeof(FileRecord::longName) - 1;
inline constexpr size_t MaxUploadNameChars = 181;

UploadKind KindOfUpload(const char* shortExtension);

struct UploadRecord {
    FileRecord record{};
    UploadKind kind = UploadKind::Plain;
    uint64_t pcSize = 0;   // the PC file's size
};

// Builds the record for the file `info` describes, its short name made
// unique against the cached listing when it had to be shortened. The code of
// a refusal, none when the record was built.
std::optional<LastError> BuildUploadRecord(CPDFileInfo& info, const DeviceState& state, UploadRecord& upload);

} // namespace plrapi

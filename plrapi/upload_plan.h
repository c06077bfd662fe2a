// What an upload's long name and size make of it, before any player is asked:
// its 8.3 name, what the extension makes of its bytes, and the size announced.
#pragma once

#include "plrapi/last_error.h"
#include "portio.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// The long name an upload's file name and extension make: "name.ext", or the
// name alone without an extension. Each is read up to its NUL and no further
// than one byte beyond what the record holds; a missing extension is none.
std::string JoinLongName(const char* name, const char* extension);

struct UploadPlan {
    std::string base;        // of the 8.3 name, before it is numbered apart from the folder's names
    std::string extension;   // of the 8.3 name; may be empty
    bool shortened = false;  // the base ends in "~1"
    UploadKind kind = UploadKind::Plain;
    uint64_t announcedSize = 0;   // what the player will receive
};

// The plan for `longName` (extension included; bytes in the code page) of
// `pcSize` bytes. The code of a refusal, none when the plan was made.
std::optional<LastError> PlanUpload(std::string_view longName, uint64_t pcSize, UploadPlan& plan);

} // namespace plrapi

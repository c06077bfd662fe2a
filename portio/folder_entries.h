// The directory entries of a new folder, as "DM" carries them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace portio {

// Entries (short entry included) that fit in one "DM" block.
inline constexpr size_t MaxFolderEntries = 15;

// Long-name entries (last part first) then the short entry, count x 32 bytes.
// None when no short name can be made or the name needs more entries than
// the block holds.
std::optional<std::vector<uint8_t>> BuildDirEntries(const std::string& name, bool forceLongName);

} // namespace portio

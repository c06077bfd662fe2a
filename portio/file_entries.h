// The directory entries of a new file, as "W" carries them.
#pragma once

#include "portio.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace portio {

// Long-name entries that fit in one "W" block with the short entry.
inline constexpr size_t MaxFileLongNameEntries = 14;

// The "W" payload for a record: entry bytes + 1 (big-endian), the long-name
// entries (last part first) and the short entry. None when the long name needs
// more entries than the block holds.
std::optional<std::vector<uint8_t>> BuildFileWritePayload(const FileRecord& record);

} // namespace portio

// The path of the current folder from the entries "DG" carries.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace portio {

// The folders' names joined with '\', top level first: each short entry ends
// a folder, the long-name entries before it (last part first) give its long
// name. Whole 32-byte entries only; a partial one at the end is ignored.
std::string FolderPathFromEntries(std::span<const uint8_t> entries);

} // namespace portio

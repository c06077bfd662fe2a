// Error codes the player puts into its refusals (error reply: length 4,
// result 1, the code at offset 5, then '.').
#pragma once

#include <cstdint>

namespace kvx512sim {

inline constexpr uint8_t ErrorUnknownCommand = 0x01;   // no command the player knows
inline constexpr uint8_t ErrorNoStorage = 0x02;        // the storage is absent
inline constexpr uint8_t ErrorBadRequest = 0x03;       // position out of range, unknown folder, malformed entries
inline constexpr uint8_t ErrorFolderNotEmpty = 0x04;   // "DR" of a folder that still holds entries
inline constexpr uint8_t ErrorFolderInUse = 0x05;      // "DR" of the top level, the current folder or one above it
inline constexpr uint8_t ErrorFolderFull = 0x19;       // no slots left in the folder, or the name exists already
inline constexpr uint8_t ErrorNoRoom = 0x27;           // the storage lacks the units for the file's size

} // namespace kvx512sim

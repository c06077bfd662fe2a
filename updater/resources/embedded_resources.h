// The data compiled into the updater: what the system's module resources were.
#pragma once

#include <cstdint>
#include <span>

namespace updater::resources {

// Resource numbers of type "BINARY".
inline constexpr int FirmwareHexResource = 243;   // the application code, Intel HEX text
inline constexpr int FontResource = 309;          // the player's font, opaque bytes

// The bytes of a resource; empty for a number the program does not carry.
std::span<const uint8_t> FindResource(int id);

} // namespace updater::resources

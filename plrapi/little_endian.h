// Multi-byte fields of the records the library writes and reads: little-endian
// whatever the machine.
#pragma once

#include <cstdint>

namespace plrapi {

inline void StoreLe16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

inline void StoreLe32(uint8_t* at, uint32_t value) {
    StoreLe16(at, static_cast<uint16_t>(value));
    StoreLe16(at + 2, static_cast<uint16_t>(value >> 16));
}

inline uint16_t LoadLe16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

inline uint32_t LoadLe32(const uint8_t* at) {
    return static_cast<uint32_t>(LoadLe16(at)) | (static_cast<uint32_t>(LoadLe16(at + 2)) << 16);
}

} // namespace plrapi

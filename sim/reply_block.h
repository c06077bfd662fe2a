// The reply blocks the player sends on pipe 0x83.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace kvx512sim {

inline constexpr uint32_t BlockSize = 512;

// '#', 0, length, ':', result, data, '.', zeros to 512 bytes; the length byte
// counts from ':' to '.' inclusive. The OK reply is ShortReply(0, {}).
std::vector<uint8_t> ShortReply(uint8_t result, const uint8_t* data, size_t size);
std::vector<uint8_t> ShortReply(uint8_t result, std::initializer_list<uint8_t> data);

} // namespace kvx512sim

// File contents for the qrm284 command tests: bytes that step by 7 and slip
// by one every 251, so no block of them repeats another and, from seed 1 on,
// none starts like a command block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace testsupport {

inline std::vector<uint8_t> SteppedBytes(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(seed + i * 7 + i / 251);
    }
    return bytes;
}

} // namespace testsupport

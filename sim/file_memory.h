// The memory of stored files. What the player lets go of (a file deleted or
// overwritten, a storage formatted, a player dropped) is kept for the next
// file it stores, so that a player written again and again (by tests,
// benchmarks or a server running for hours) copies data into memory that is
// already there instead of faulting fresh pages in for every file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kvx512sim {

// An empty buffer with room for at least `capacity` bytes; its memory goes
// back to the keeping when the last holder lets go.
std::shared_ptr<std::vector<uint8_t>> NewFileMemory(size_t capacity);

} // namespace kvx512sim

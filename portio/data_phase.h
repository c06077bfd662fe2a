// Moving file data on the current link once a write, read or font download
// has opened its data phase.
#pragma once

#include <cstdint>

namespace portio {

inline constexpr uint32_t DataChunkSize = 16384;

// Writes `size` bytes in 16,384-byte transfers, the tail padded with zeros to
// whole 512-byte blocks. On a failed transfer: cancel request, link closed, false.
bool WriteData(const uint8_t* data, uint32_t size);

// Reads ceil(size / 512) blocks and keeps the first `size` bytes. On a failed
// block: cancel request, link closed, false.
bool ReadData(uint8_t* buffer, uint32_t size);

// Cancel request on the current link, then close it.
void AbortDataPhase();

} // namespace portio

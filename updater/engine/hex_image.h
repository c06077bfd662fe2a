// The firmware image: the carried Intel HEX text turned into the flat image
// the download streams, bytes laid out from a base address upward.
#pragma once

#include <cstdint>
#include <string>

namespace updater {

// The application code: its area letter in the download commands, its base
// address, the largest flat image the download takes.
inline constexpr uint8_t ApplicationArea = 'P';
inline constexpr uint32_t ApplicationBase = 0x2000;
inline constexpr uint32_t MaxImageBlocks = 65535;

// Reads the HEX text at hexPath and writes the flat image to flatPath: the
// bytes from `base` up to the highest address written, gaps as zeros.
// Records below the base are dropped, records may come in any order and a
// later one overwrites an earlier one. Data (00), end-of-file (01) and
// extended linear address (04) records count; checksums are not checked.
// The text ends at the end-of-file record or at the first line that does not
// start with ':'; a record cut short ends it too. Both of these succeed.
// False when either file cannot be opened, or when the image would grow
// past 64 MiB (the flat file is then deleted).
bool ConvertHexImage(const std::string& hexPath, const std::string& flatPath, uint32_t base);

} // namespace updater

// The wizard's pictures, compiled into the program: what the system's bitmap
// resources 103 to 106 were. Each is a whole BMP file.
#pragma once

#include <cstdint>
#include <span>

namespace updater::resources {

inline constexpr int Header16Colours = 103;       // 629 x 64, 16 colours
inline constexpr int Header256Colours = 104;      // 579 x 375, 256 colours
inline constexpr int Watermark16Colours = 105;    // 499 x 314, 16 colours
inline constexpr int Watermark256Colours = 106;   // 579 x 375, 256 colours

// The bytes of a picture; empty for a number the program does not carry.
std::span<const uint8_t> FindPicture(int id);

} // namespace updater::resources

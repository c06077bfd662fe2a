// The 2,080 bytes the player finds after a music or voice file's data: the
// title picture, then a 32-byte header that describes it.
#pragma once

#include "plrapi/title_bitmap.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace plrapi {

inline constexpr size_t TitleHeaderSize = 32;
inline constexpr size_t TitleTrailerSize = TitleBitmapSize + TitleHeaderSize;
static_assert(TitleTrailerSize == 2080);

// Header field offsets (little-endian); each field ends where the next begins.
namespace title_header {
inline constexpr size_t Magic = 0;         // "PLBMP", no NUL
inline constexpr size_t BitmapBytes = 5;   // uint32: 2,048
inline constexpr size_t Zero9 = 9;         // uint16: 0
inline constexpr size_t TextLength = 11;   // uint16: the title text's bytes
inline constexpr size_t One = 13;          // 1
inline constexpr size_t Rows = 14;         // 16
inline constexpr size_t BandHeight = 15;   // 16
inline constexpr size_t Zeros16 = 16;      // 10 bytes of 0
inline constexpr size_t Width = 26;        // uint32: rendered width, at most 1,024
inline constexpr size_t Checksum = 30;     // uint16: sum of bytes 0 to 29, modulo 65,536
static_assert(Zeros16 + 10 == Width && Checksum + 2 == TitleHeaderSize);
} // namespace title_header

using TitleTrailer = std::array<uint8_t, TitleTrailerSize>;

// The header for a title text of `textLength` bytes rendered `width` pixels wide.
std::array<uint8_t, TitleHeaderSize> BuildTitleHeader(size_t textLength, uint32_t width);

// Renders `title` (bytes in the code page) and follows the picture with its header.
TitleTrailer BuildTitleTrailer(std::string_view title);

} // namespace plrapi

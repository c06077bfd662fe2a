// The title picture the player shows while a file plays: 1,024 columns by 16
// rows, one bit a pixel, in two bands of 8 rows. Byte x of a band holds
// column x, its bit k (bit 0 the least significant) row k of the band.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace plrapi {

inline constexpr int TitleColumns = 1024;
inline constexpr int TitleRows = 16;
inline constexpr int TitleBandRows = 8;
inline constexpr size_t TitleBitmapSize = TitleColumns * TitleRows / 8;
static_assert(TitleBitmapSize == 2048);

using TitleBitmap = std::array<uint8_t, TitleBitmapSize>;

inline bool IsLit(const TitleBitmap& bitmap, int column, int row) {
    const size_t at = static_cast<size_t>((row / TitleBandRows) * TitleColumns + column);
    return ((bitmap[at] >> (row % TitleBandRows)) & 1) != 0;
}

struct RenderedTitle {
    TitleBitmap bitmap{};
    uint32_t width = 0;   // pixels the text takes, at most TitleColumns
};

// Draws `text` (in the code page) in the bold default face, at least 16
// pixels high, from the top-left corner; a pixel is lit above 128 of 255.
RenderedTitle RenderTitleBitmap(std::string_view text);

} // namespace plrapi

#include "plrapi/title_bitmap.h"

#include "platform/text/text_rendering.h"
#include "plrapi/ascii_text.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace plrapi {

namespace {

constexpr int FontHeight = 16;
// A face whose cell never reaches the height is not grown without end.
constexpr int MaxFontHeight = 4 * FontHeight;
constexpr uint8_t LitAbove = 128;

} // namespace

RenderedTitle RenderTitleBitmap(std::string_view text) {
    const std::u16string wide = ToWide(text);
    int height = FontHeight;
    auto font = std::make_unique<platform::BoldFont>(height);
    platform::TextExtent extent = font->Measure(wide);
    while (extent.height < FontHeight && height < MaxFontHeight && font->Valid()) {
        font = std::make_unique<platform::BoldFont>(++height);
        extent = font->Measure(wide);
    }

    std::vector<uint8_t> pixels(static_cast<size_t>(TitleColumns) * TitleRows, 0);
    font->Draw(wide, pixels.data(), TitleColumns, TitleRows);

    RenderedTitle title;
    title.width = static_cast<uint32_t>(std::clamp(extent.width, 0, TitleColumns));
    for (int row = 0; row < TitleRows; ++row) {
        for (int column = 0; column < TitleColumns; ++column) {
            if (pixels[static_cast<size_t>(row) * TitleColumns + static_cast<size_t>(column)] > LitAbove) {
                const size_t at = static_cast<size_t>((row / TitleBandRows) * TitleColumns + column);
                title.bitmap[at] = static_cast<uint8_t>(title.bitmap[at] | (1u << (row % TitleBandRows)));
            }
        }
    }
    return title;
}

} // namespace plrapi

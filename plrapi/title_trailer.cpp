#include "plrapi/title_trailer.h"

#include "wire/byte_order.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace plrapi {

using wire::LoadLe16;
using wire::LoadLe32;
using wire::StoreLe16;
using wire::StoreLe32;

std::array<uint8_t, TitleHeaderSize> BuildTitleHeader(size_t textLength, uint32_t width) {
    namespace h = title_header;
    std::array<uint8_t, TitleHeaderSize> header{};
    std::memcpy(header.data() + h::Magic, "PLBMP", 5);
    StoreLe32(header.data() + h::BitmapBytes, static_cast<uint32_t>(TitleBitmapSize));
    StoreLe16(header.data() + h::TextLength,
              static_cast<uint16_t>(std::min<size_t>(textLength, std::numeric_limits<uint16_t>::max())));
    header[h::One] = 1;
    header[h::Rows] = TitleRows;
    header[h::BandHeight] = TitleRows;
    StoreLe32(header.data() + h::Width, width);
    uint32_t sum = 0;
    for (size_t i = 0; i < h::Checksum; ++i) {
        sum += header[i];
    }
    StoreLe16(header.data() + h::Checksum, static_cast<uint16_t>(sum));
    return header;
}

TitleTrailer BuildTitleTrailer(std::string_view title) {
    const RenderedTitle rendered = RenderTitleBitmap(title);
    const auto header = BuildTitleHeader(title.size(), rendered.width);
    TitleTrailer trailer{};
    std::copy(rendered.bitmap.begin(), rendered.bitmap.end(), trailer.begin());
    std::copy(header.begin(), header.end(), trailer.begin() + TitleBitmapSize);
    return trailer;
}

} // namespace plrapi

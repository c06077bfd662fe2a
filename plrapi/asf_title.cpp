#include "plrapi/asf_title.h"

#include "platform/text/code_page.h"
#include "wire/byte_order.h"

#include <algorithm>
#include <cstring>

namespace plrapi {

using wire::LoadLe16;
using wire::LoadLe32;
using wire::StoreLe16;
using wire::StoreLe32;

namespace {

constexpr size_t ObjectCountAt = 24;
constexpr size_t FirstObjectAt = 30;
constexpr size_t ObjectHeaderSize = 24;   // GUID and 64-bit size
constexpr size_t MinimumLeft = 25;
constexpr size_t TitleLengthAt = 24;
constexpr size_t AuthorLengthAt = 26;
constexpr size_t TextsAt = 34;

// 75B22633-668E-11CF-A6D9-00AA0062CE6C as stored.
constexpr uint8_t ContentDescription[16] = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                            0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

// UTF-16LE up to its first NUL, into the code page, cut at a character so
// that it fits the field.
std::string FieldText(const uint8_t* bytes, size_t size) {
    std::u16string wide;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const auto unit = static_cast<char16_t>(LoadLe16(bytes + i));
        if (unit == u'\0') {
            break;
        }
        wide.push_back(unit);
    }
    // Every character takes at least a byte.
    wide.resize(std::min(wide.size(), AsfTextField - 1));
    for (size_t characters = wide.size(); characters > 0; --characters) {
        std::string text = platform::WideToMultiByte(wide.data(), characters);
        if (text.size() < AsfTextField) {
            return text;
        }
    }
    return {};
}

} // namespace

std::optional<AsfTitle> ReadAsfTitle(const uint8_t* bytes, size_t size) {
    if (size < FirstObjectAt) {
        return std::nullopt;
    }
    uint32_t objects = LoadLe32(bytes + ObjectCountAt);
    size_t at = FirstObjectAt;
    while (objects-- > 0 && size - at >= MinimumLeft) {
        const uint8_t* object = bytes + at;
        const uint32_t objectSize = LoadLe32(object + 16);
        if (std::memcmp(object, ContentDescription, sizeof ContentDescription) == 0) {
            if (size - at < TextsAt) {
                return std::nullopt;
            }
            const size_t titleLength = LoadLe16(object + TitleLengthAt);
            const size_t authorLength = LoadLe16(object + AuthorLengthAt);
            if (titleLength + authorLength > size - at - TextsAt) {
                return std::nullopt;
            }
            return AsfTitle{FieldText(object + TextsAt, titleLength),
                            FieldText(object + TextsAt + titleLength, authorLength)};
        }
        // An object shorter than its own header would never move the walk on.
        if (objectSize < ObjectHeaderSize || objectSize > size - at) {
            return std::nullopt;
        }
        at += objectSize;
    }
    return std::nullopt;
}

} // namespace plrapi

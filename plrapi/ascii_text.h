// Names and titles are mostly plain ASCII, which every code page the library
// meets holds unchanged: such text skips the code-page conversions.
#pragma once

#include "platform/text/code_page.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace plrapi {

inline bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The text in UTF-16, through the code page unless it is ASCII.
inline std::u16string ToWide(std::string_view text) {
    if (IsAscii(text)) {
        return std::u16string(text.begin(), text.end());
    }
    return platform::MultiByteToWide(text.data(), text.size());
}

} // namespace plrapi

#include "tools/qrm284/language_id.h"

#include "updater/wizard/wizard_texts.h"

#include <array>
#include <charconv>
#include <string_view>
#include <strings.h>
#include <utility>

namespace qrm284 {

namespace {

constexpr std::array<std::pair<const char*, uint16_t>, 5> LanguageNames{{
    {"en", updater::LangEnglishUs},
    {"ko", updater::LangKorean},
    {"ja", updater::LangJapanese},
    {"zh-TW", updater::LangChineseTaiwan},
    {"zh-CN", updater::LangChinesePrc},
}};

} // namespace

std::optional<uint16_t> ParseLanguageId(const std::string& text) {
    for (const auto& [name, langId] : LanguageNames) {
        if (strcasecmp(text.c_str(), name) == 0) {
            return langId;
        }
    }
    std::string_view digits = text;
    int base = 10;
    if (digits.starts_with("0x") || digits.starts_with("0X")) {
        digits.remove_prefix(2);
        base = 16;
    }
    uint32_t value = 0;
    const char* end = digits.data() + digits.size();
    // from_chars takes no sign and no second prefix, and reports overflow.
    const auto [stop, error] = std::from_chars(digits.data(), end, value, base);
    if (digits.empty() || error != std::errc{} || stop != end || value > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(value);
}

} // namespace qrm284

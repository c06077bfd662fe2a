// The --language option: a language ID as a person writes it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qrm284 {

// A language's short name (en, ko, ja, zh-TW, zh-CN, any case), or "0x0411"
// (hex after 0x or 0X) or "1041" (decimal), the whole text, from 0 to
// 0xFFFF; nullopt for anything else (signs, other characters, too large).
std::optional<uint16_t> ParseLanguageId(const std::string& text);

} // namespace qrm284

// The string resources 110 to 123 of the wizard in the two languages the
// program carries them in: English (0x0409) and Korean (0x0412). UTF-8.
#pragma once

#include <cstdint>

namespace updater::resources {

inline constexpr uint16_t LangEnglish = 0x0409;
inline constexpr uint16_t LangKorean = 0x0412;

// The entry of `id` as the resource loader picks it for a system of language
// `systemLangId`: Korean on a Korean system, English otherwise. Null for an
// id the table does not hold.
const char* LoadStringResource(int id, uint16_t systemLangId);

} // namespace updater::resources

// UTF-8 and UTF-16 for the names the test side passes in; the player keeps
// long names in UTF-16 as its entries hold them.
#pragma once

#include "sim/sim_export.h"

#include <string>

namespace kvx512sim {

// Malformed UTF-8 sequences become U+FFFD.
KVX512SIM_API std::u16string Utf8ToUtf16(const std::string& text);
// Unpaired surrogates become U+FFFD.
KVX512SIM_API std::string Utf16ToUtf8(const std::u16string& text);

} // namespace kvx512sim

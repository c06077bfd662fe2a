// The updater's reading of the player's identification text.
#pragma once

#include <cstddef>
#include <cstdint>

namespace updater {

// Moves `position` past one word and the single space after it; false when
// it already stands at `end`.
bool SkipWord(const uint8_t* text, size_t end, size_t& position);

// The packed version number of a decimal version text: up to four major
// digits and four fraction digits, each as one hex nibble, the major part in
// the upper 16 bits ("1.4322" gives 0x14322, "2" 0x20000). 0 for n <= 0.
uint32_t ParseVersionNumber(const uint8_t* text, long n);

} // namespace updater

// Reading the words of the identification text and its packed version number.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wire {

// Steps past the word at `position` and the one space after it. False when
// the position is already at the end.
bool SkipWord(const uint8_t* text, size_t end, size_t& position);

// Decimal digits packed as hexadecimal nibbles, major part in the upper 16 bits:
// "1.43.22" gives 0x14300, "2" gives 0x20000; 0 when nothing parses.
uint32_t ParseVersionNumber(const uint8_t* text, ptrdiff_t length);

} // namespace wire

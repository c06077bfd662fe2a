// The ANSI and OEM code pages: the locale's character set through iconv.
// Both name the same character set here. KVX512_CODEPAGE (cp932, cp949,
// cp950, cp936, ...) or SetCodePage overrides it, so that double-byte names
// can be tried on any machine.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The character set in use, as iconv names it.
std::string CurrentCodePage();
// Overrides the character set; an empty name goes back to the locale's.
void SetCodePage(const std::string& name);

// Multibyte text in the code page to UTF-16; unconvertible bytes become U+FFFD.
std::u16string MultiByteToWide(const char* text, size_t length);
// UTF-16 to the code page; characters it lacks become '?'.
std::string WideToMultiByte(const char16_t* text, size_t length);
// True for the first byte of a two-byte character of a double-byte code page.
bool IsDBCSLeadByte(uint8_t byte);

} // namespace platform

// Who the player is: its identification reply reduced to the identity text
// and a packed version number, and the version text page 3 shows.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace updater {

// Stand-ins for a recognised text without a usable version word: the text
// ends after the identity word (1.20.00), or the version word is no number
// (1.25.00).
inline constexpr uint32_t VersionWithoutWord = 0x12000;
inline constexpr uint32_t VersionUnreadable = 0x12500;

using IdentityText = std::array<char, 256>;

// Opens a link of its own, sends "Y" and reads the reply. False when the
// exchange did not take place. True otherwise, with `identity` (zeroed by the
// caller) holding the text from the identity word on and `version` the
// packed number; an unrecognised reply gives version 0 and no text.
bool ReadPlayerIdentity(IdentityText& identity, uint32_t& version);

// The version as page 3 shows it: the first five hex digits of the number as
// "c.cc.cc" ("BOOT c.cc.cc" for boot code), cut where the digits run out.
std::string ShownVersionText(uint32_t version, bool bootCode);

// True when the identity text names boot code ("BOOT" first).
bool IsBootIdentity(const IdentityText& identity);

} // namespace updater

// Which bytes of a file or folder name the player's file system cannot keep,
// and how a short name's first byte is stored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace plrapi {

// A first byte 0xE5 marks a deleted entry; a name that starts with that byte
// is stored with 0x05 in its place.
inline constexpr uint8_t DeletedEntryMark = 0xE5;
inline constexpr uint8_t StoredForDeletedMark = 0x05;

// '"' '*' '/' ':' '<' '>' '?' '\' '|' and the control characters.
bool IsUnstorableByte(uint8_t byte);

// The offset of the first byte of `name` (one name, no path) the player's
// file system cannot store; the second byte of a double-byte character never
// counts. None when every character can be stored.
std::optional<size_t> FindUnstorableCharacter(std::string_view name);

// A short name's base as its entry stores it (0xE5 first becomes 0x05), and
// back as it is shown.
std::string StoredShortBase(std::string base);
std::string ShownShortBase(std::string base);

} // namespace plrapi

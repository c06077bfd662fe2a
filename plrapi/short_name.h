// 8.3 short names for uploads, made from the long name as the player's file
// system expects them, and numbered apart when shortened names collide.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plrapi {

inline constexpr size_t MaxShortNameSource = 260;

struct ShortName {
    std::string text;         // upper case: base, and '.' and extension when there is one
    bool shortened = false;   // the name lost characters: its base ends in "~1"
};

// Characters the player's short names cannot hold (those of IsUnstorableByte
// and + , ; = [ ]) become '_'; spaces and every dot but the last are
// dropped. A name that lost anything, or whose base or
// extension is too long, becomes the first 6 bytes of its base, "~1" and the
// first 3 bytes of its extension, each cut at a character boundary of the code
// page. None for a name of more than MaxShortNameSource bytes.
std::optional<ShortName> MakeShortName(std::string_view longName);

// Numbers a shortened base `n` + 1 in place of `n` after its last '~',
// keeping its length: ABCDEF~9 with n = 9 becomes ABCDE~10. False when the
// base has no '~' or no room left of it.
bool BumpShortNameTail(int n, std::string& base);

} // namespace plrapi

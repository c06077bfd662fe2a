// The short names the player's own side gives to files and folders that a
// test puts on it directly.
#pragma once

#include "sim/directory_entry.h"

#include <functional>
#include <string>

namespace kvx512sim {

struct ShortNameChoice {
    ShortName name{};
    bool needsLongName = false;
};

// Upper-cased 8.3 name when the name has one (a long name is still kept when
// the case differs); otherwise up to 6 valid characters of the base, "~n"
// and up to 3 of the extension, n the lowest number `taken` does not refuse.
ShortNameChoice ChooseShortName(const std::u16string& name, const std::function<bool(const ShortName&)>& taken);

} // namespace kvx512sim

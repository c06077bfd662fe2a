// 8.3 short names: made from a long name, and read back from an entry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace portio {

struct ShortName {
    std::string text;         // base, '.', extension (the '.' even with no extension)
    bool longNameNeeded = false;
};

// None for a name whose only separator is a leading '.'.
std::optional<ShortName> BuildShortName(const std::string& name);

// Name, '.' and extension of a 32-byte entry, without the padding spaces.
std::string FormatShortName(const uint8_t* entry);

} // namespace portio

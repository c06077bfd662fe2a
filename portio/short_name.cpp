#include "portio/short_name.h"

#include "platform/text/code_page.h"
#include "portio/directory_entry.h"

#include <cstring>

namespace portio {

namespace {

bool IsSeparator(char c) { return c == '.' || c == '\\' || c == '/' || c == ':'; }
bool IsPathSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }
// Besides the separators, what the player's file system cannot store.
bool IsUnstorable(uint8_t byte) { return byte < 0x21 || byte == 0x7F || std::strchr("\"*<>?|", byte) != nullptr; }

// Copies at most `room` bytes of `part` under the short-name rules.
std::string ShortPart(const std::string& part, size_t room, bool& longNameNeeded) {
    std::string out;
    size_t i = 0;
    for (; i < part.size() && out.size() < room; ++i) {
        const auto byte = static_cast<uint8_t>(part[i]);
        if (platform::IsDBCSLeadByte(byte)) {
            longNameNeeded = true;
            if (out.size() + 2 > room || i + 1 >= part.size()) {
                break;
            }
            out += part[i];
            out += part[++i];
        } else if (byte >= 'a' && byte <= 'z') {
            longNameNeeded = true;
            out += static_cast<char>(byte - 'a' + 'A');
        } else if (!IsUnstorable(byte) && byte <= 0x7F) {
            out += static_cast<char>(byte);
        } else {
            longNameNeeded = true;
        }
    }
    if (i < part.size()) {
        longNameNeeded = true;
    }
    return out;
}

} // namespace

std::optional<ShortName> BuildShortName(const std::string& name) {
    ShortName result;
    size_t last = std::string::npos;
    for (size_t i = name.size(); i > 0; --i) {
        if (IsSeparator(name[i - 1])) {
            last = i - 1;
            break;
        }
    }
    if (last == 0 && name[0] == '.') {
        return std::nullopt;
    }
    std::string extension;
    size_t baseEnd = name.size();
    if (last != std::string::npos && last > 0 && name[last] == '.') {
        extension = ShortPart(name.substr(last + 1), 3, result.longNameNeeded);
        baseEnd = last;
    }
    size_t baseStart = 0;
    for (size_t i = baseEnd; i > 0; --i) {
        if (IsPathSeparator(name[i - 1])) {
            baseStart = i;
            break;
        }
    }
    std::string base = ShortPart(name.substr(baseStart, baseEnd - baseStart), 8, result.longNameNeeded);
    if (base.empty()) {
        base = "kvx512";
    }
    result.text = base + "." + extension;
    return result;
}

std::string FormatShortName(const uint8_t* entry) {
    std::string text;
    for (size_t i = 0; i < 8 && entry[i] != ' '; ++i) {
        text += static_cast<char>(i == 0 && entry[i] == StandInForE5 ? DeletedMark : entry[i]);
    }
    if (entry[ShortEntry::Extension] != ' ') {
        text += '.';
        for (size_t i = 8; i < 11 && entry[i] != ' '; ++i) {
            text += static_cast<char>(entry[i]);
        }
    }
    return text;
}

} // namespace portio

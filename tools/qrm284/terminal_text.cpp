#include "tools/qrm284/terminal_text.h"

#include <cstdio>

namespace qrm284 {

std::string Printable(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\n': shown += "\\n"; continue;
        case '\r': shown += "\\r"; continue;
        case '\t': shown += "\\t"; continue;
        case '\\': shown += "\\\\"; continue;
        default: break;
        }
        if (byte < 0x20 || byte == 0x7F) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            shown += escape;
        } else {
            shown += c;
        }
    }
    return shown;
}

} // namespace qrm284

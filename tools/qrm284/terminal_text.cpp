#include "tools/qrm284/terminal_text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/ioctl.h>
#include <unistd.h>

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

bool DrawsOnTerminal(int fd) {
    const char* term = std::getenv("TERM");
    return isatty(fd) != 0 && term != nullptr && *term != '\0' && std::strcmp(term, "dumb") != 0;
}

int TerminalColumns(int fd) {
    winsize size{};
    if (isatty(fd) != 0 && ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    const char* columns = std::getenv("COLUMNS");
    const int fromEnvironment = columns != nullptr ? std::atoi(columns) : 0;
    return fromEnvironment > 0 ? fromEnvironment : 80;
}

} // namespace qrm284

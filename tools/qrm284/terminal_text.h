// Text from the player on a terminal: names are the player's bytes, and a
// control character in one must neither break a line nor steer the terminal.
#pragma once

#include <string>
#include <string_view>

namespace qrm284 {

// The text with every control character (below 0x20, and 0x7F) written as
// an escape: \n, \r, \t, else \xHH; a backslash is doubled so that what is
// shown reads back unambiguously. Everything else, UTF-8 included, is kept.
std::string Printable(std::string_view text);

// Whether output to `fd` may redraw a line with escape sequences: a terminal
// whose TERM is set and not "dumb".
bool DrawsOnTerminal(int fd);

// The terminal's width in columns; 80 when `fd` is no terminal or does not say.
int TerminalColumns(int fd);

} // namespace qrm284

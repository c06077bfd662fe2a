#include "tools/qrm284/player_names.h"

#include "tools/qrm284/terminal_text.h"

#include <string_view>

namespace qrm284 {

namespace {

constexpr std::string_view Forbidden = "\"*/:<>?\\|";

bool Storable(unsigned char c) { return c >= 0x20 && c != 0x7F && Forbidden.find(static_cast<char>(c)) == std::string_view::npos; }

} // namespace

std::string FolderNameProblem(const std::string& name) {
    const std::string shown = "\"" + Printable(name) + "\"";
    if (name == "." || name == "..") {
        return shown + " is the entry every folder holds for itself or its parent, not a folder of its own.";
    }
    for (const char c : name) {
        if (!Storable(static_cast<unsigned char>(c))) {
            return "The player cannot hold the folder name " + shown +
                   ": names may not contain \" * / : < > ? \\ | or control characters.";
        }
    }
    return {};
}

} // namespace qrm284

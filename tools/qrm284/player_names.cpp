#include "tools/qrm284/player_names.h"

#include "tools/qrm284/terminal_text.h"

#include <algorithm>
#include <string_view>

namespace qrm284 {

namespace {

constexpr std::string_view Forbidden = "\"*/:<>?\\|";

} // namespace

bool HoldsForbiddenCharacter(const std::string& name) {
    return std::any_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F || Forbidden.find(c) != std::string_view::npos;
    });
}

std::string FolderNameProblem(const std::string& name) {
    const std::string shown = "\"" + Printable(name) + "\"";
    if (name == "." || name == "..") {
        return shown + " is the entry every folder holds for itself or its parent, not a folder of its own.";
    }
    if (HoldsForbiddenCharacter(name)) {
        return "The player cannot hold the folder name " + shown +
               ": names may not contain \" * / : < > ? \\ | or control characters.";
    }
    return {};
}

} // namespace qrm284

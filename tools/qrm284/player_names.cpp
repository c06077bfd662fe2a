#include "tools/qrm284/player_names.h"

#include "plrapi/storable_name.h"
#include "tools/qrm284/terminal_text.h"

namespace qrm284 {

bool HoldsForbiddenCharacter(const std::string& name) {
    return plrapi::FindUnstorableCharacter(name).has_value();
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

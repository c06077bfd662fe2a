// Names the player's file system can hold. Its directory entries forbid
// some characters outright, and the device API cuts a name at '\' and ':'
// (path separators on the system it was made for), so such a name would
// reach the player as another one.
#pragma once

#include <string>

namespace qrm284 {

// True when `name` holds a character of " * / : < > ? \ | or a control
// character (the trail byte of a double-byte character never counts): no file
// or folder on the player is called that.
bool HoldsForbiddenCharacter(const std::string& name);

// Empty when a folder called `name` can be made; else the sentence saying
// why not: a character of " * / : < > ? \ | or a control character, or the
// name "." or "..", which every folder holds for itself and its parent.
std::string FolderNameProblem(const std::string& name);

} // namespace qrm284

// Which names the player can store: its directory entries hold a long name of
// limited length, in a character set without FAT's reserved characters.
#pragma once

#include <string>

namespace qrm284::mount {

// 0 when a file (`folder` false) or folder may be called `name` in the folder
// `parentPath` ("/", "/Music"); else ENAMETOOLONG or EINVAL.
int CheckPlayerName(const std::string& parentPath, const std::string& name, bool folder);

// "/Music" + "a.mp3" -> "/Music/a.mp3".
std::string JoinPath(const std::string& folder, const std::string& name);

// File managers move deleted files into such folders; the player has no use for them.
bool IsTrashFolderName(const std::string& name);

} // namespace qrm284::mount

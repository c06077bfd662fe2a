#include "tools/qrm284/mount/player_names.h"

#include "tools/qrm284/player_names.h"

#include <cerrno>

namespace qrm284::mount {

namespace {

// The device API's limits: a name with its extension of at most 194 bytes and
// 181 characters (182 for a folder); a folder path of at most 259 bytes.
constexpr size_t MaxNameBytes = 194;
constexpr size_t MaxFileCharacters = 181;
constexpr size_t MaxFolderCharacters = 182;
constexpr size_t MaxPathBytes = 259;

size_t Utf8Characters(const std::string& text) {
    size_t count = 0;
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++count;
        }
    }
    return count;
}

} // namespace

int CheckPlayerName(const std::string& parentPath, const std::string& name, bool folder) {
    if (name.empty() || name == "." || name == "..") {
        return EINVAL;
    }
    if (name.size() > MaxNameBytes || Utf8Characters(name) > (folder ? MaxFolderCharacters : MaxFileCharacters) ||
        JoinPath(parentPath, name).size() > MaxPathBytes) {
        return ENAMETOOLONG;
    }
    if (HoldsForbiddenCharacter(name)) {
        return EINVAL;
    }
    // FAT drops trailing dots and spaces: the stored name would differ from the one asked for.
    if (name.back() == '.' || name.back() == ' ' || name.front() == ' ') {
        return EINVAL;
    }
    return 0;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

bool IsTrashFolderName(const std::string& name) {
    return name.rfind(".Trash", 0) == 0;
}

} // namespace qrm284::mount

// Folder names as the folder operations take them: a path whose last
// component names the folder, looked up among the cached folders.
#pragma once

#include "plrapi/device_state.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace plrapi {

// Longest path accepted, in bytes.
inline constexpr size_t MaxPathBytes = 259;
// A new folder's name: its directory entries fit one command block (14
// long-name entries of 13 characters) and its name the listing's name field.
inline constexpr size_t MaxFolderNameChars = 182;
inline constexpr size_t MaxFolderNameBytes = sizeof(FileRecord::longName) - 1;

// The text after the drive and the last '\' or '/' (a separator byte that
// trails a double-byte character does not count).
std::string_view LastPathComponent(std::string_view path);

// The last component of a new folder's path, as the player's folder command
// cuts it: after the last '\', '/' or ':'.
std::string_view NewFolderName(std::string_view path);

// True when `name`, a NUL-terminated path of at most MaxPathBytes bytes, has
// a last component (as the player's folder command cuts it: after the last
// '\', '/' or ':') the player can hold and the listing can show whole.
bool FitsNewFolder(const char* name);

// The folder number of the cached folder that `name` (a path, or "..")
// names; none for a null, empty or too long name, or one not cached.
std::optional<uint32_t> FindFolderId(const DeviceState& state, const char* name);

} // namespace plrapi

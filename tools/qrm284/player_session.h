// What every storage subcommand does first: find the player, identify it,
// and walk to a folder of a storage.
#pragma once

#include "portio.h"

#include <memory>
#include <optional>
#include <string>

namespace qrm284 {

inline constexpr const char* NoPlayerConnected = "No player is connected.";

// Empty on success, else the sentence for the person (NoPlayerConnected when
// the device list shows none).
std::string ConnectToPlayer();

// Whether the player still answers a status check (after a failure whose
// cause the device API does not tell).
bool PlayerAnswers();

// The name a person knows a record by: its long name, or its 8.3 name.
std::string RecordName(const FileRecord& record);

// The record's 8.3 name as a person writes it: "BIGSON~1.MP3", "README".
std::string ShortName(const FileRecord& record);

// Lists `path` ("/", "/Music/Live") of a storage into `image`, making each
// folder on the way current. Empty on success, else the sentence.
std::string ListFolder(int storage, const std::string& path, StorageImage& image);

// The files of a storage, in every folder; none when the player did not list
// one. Leaves the top folder current and no link open.
std::optional<int> CountFiles(int storage);

// A StorageImage is 64 KiB: keep it off the stack.
std::unique_ptr<StorageImage> NewStorageImage();

} // namespace qrm284

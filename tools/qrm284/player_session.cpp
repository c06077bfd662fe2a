#include "tools/qrm284/player_session.h"

#include "tools/qrm284/device_session.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <vector>

namespace qrm284 {

namespace {

std::string TrimRight(std::string text) {
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

std::string RefreshSentence(int result) {
    switch (result) {
    case 2: return "The player cannot be reached over USB.";
    case 9: return "The player sent a listing that cannot be read.";
    default: return "The player did not send its listing.";
    }
}

// Folders nest no deeper than a player's menus can show; the limit only
// guards against a listing that loops.
constexpr int FolderDepthLimit = 16;

bool CountFilesIn(int storage, uint32_t folder, int depth, int& files) {
    auto image = NewStorageImage();
    if (dll_fn_SetCurrentDirectory(storage, static_cast<int>(folder)) != 0 ||
        dll_fn_refresh_device(image.get(), storage) != 0) {
        return false;
    }
    std::vector<uint32_t> folders;
    const uint32_t count = std::min<uint32_t>(image->entryCount, 256);
    for (uint32_t i = 0; i < count; ++i) {
        const FileRecord& record = image->records[i];
        const std::string name = RecordName(record);
        if ((record.attribute & 0x10) == 0) {
            ++files;
        } else if (name != "." && name != ".." && record.firstCluster != 0 && depth < FolderDepthLimit) {
            folders.push_back(record.firstCluster);
        }
    }
    image.reset();
    return std::all_of(folders.begin(), folders.end(),
                       [&](uint32_t inner) { return CountFilesIn(storage, inner, depth + 1, files); });
}

} // namespace

std::optional<int> CountFiles(int storage) {
    int files = 0;
    const bool listed = CountFilesIn(storage, 0, 0, files);
    dll_fn_SetCurrentDirectory(storage, 0);
    // portio keeps its link between calls; the updater's own link must be the only one.
    dll_fn_Close_Writefile();
    return listed ? std::optional<int>(files) : std::nullopt;
}

bool PlayerAnswers() {
    return dll_fn_get_player_status() == 0;
}

std::string ConnectToPlayer() {
    if (dll_fn_FindDeivce() != 0) {
        return NoPlayerConnected;
    }
    char version[42] = {};
    if (dll_fn_get_player_version(version) != 0) {
        return "The player cannot be reached or did not identify itself.";
    }
    return {};
}

std::string RecordName(const FileRecord& record) {
    if (record.longNameFlag != 0) {
        return std::string(record.longName, strnlen(record.longName, sizeof record.longName));
    }
    return ShortName(record);
}

std::string ShortName(const FileRecord& record) {
    const std::string base = TrimRight(std::string(record.baseName, strnlen(record.baseName, 8)));
    const std::string extension = TrimRight(std::string(record.extension, strnlen(record.extension, 3)));
    return extension.empty() ? base : base + "." + extension;
}

std::unique_ptr<StorageImage> NewStorageImage() {
    auto image = std::make_unique<StorageImage>();
    std::memset(image.get(), 0, sizeof(StorageImage));
    return image;
}

std::string ListFolder(int storage, const std::string& path, StorageImage& image) {
    const int top = dll_fn_SetCurrentDirectory(storage, 0);
    if (top != 0) {
        return "The player did not go to the top folder of the storage.";
    }
    for (const std::string& part : SplitPath(path)) {
        const int result = dll_fn_refresh_device(&image, storage);
        if (result != 0) {
            return RefreshSentence(result);
        }
        const uint32_t count = std::min<uint32_t>(image.entryCount, 256);
        const FileRecord* folder = nullptr;
        for (uint32_t i = 0; i < count; ++i) {
            if ((image.records[i].attribute & 0x10) != 0 && RecordName(image.records[i]) == part) {
                folder = &image.records[i];
                break;
            }
        }
        if (folder == nullptr) {
            return "There is no folder \"" + part + "\" on the player.";
        }
        if (dll_fn_SetCurrentDirectory(storage, static_cast<int>(folder->firstCluster)) != 0) {
            return "The player did not open the folder \"" + part + "\".";
        }
    }
    const int result = dll_fn_refresh_device(&image, storage);
    return result == 0 ? std::string{} : RefreshSentence(result);
}

} // namespace qrm284

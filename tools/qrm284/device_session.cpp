#include "tools/qrm284/device_session.h"
#include "tools/qrm284/commands.h"
#include "tools/qrm284/player_session.h"
#include "tools/qrm284/terminal_text.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <strings.h>

namespace qrm284 {

DeviceSession::~DeviceSession() {
    if (api_ != nullptr) {
        api_->CloseDevice();
        delete api_;
    }
}

int DeviceSession::Open(int storage) {
    storage_ = storage;
    api_ = CDeviceAPI::OpenDevice();
    if (api_ == nullptr) {
        return FailNoPlayer();
    }
    CDeviceInfo* device = nullptr;
    if (api_->PlrGetDeviceInfo(device) != 1) {
        std::fprintf(stderr, "qrm284: The player did not identify itself.\n");
        return ExitNoPlayer;
    }
    CStorageInfo* info = nullptr;
    // Start from the top level: the player may remember another folder.
    api_->PlrGetStorageInfo(storage_, info);
    if (api_->PlrSetCurrentDirectory(storage_, nullptr) != 1 || api_->PlrGetStorageInfo(storage_, info) != 1) {
        return Fail(storage_ == 0 ? "The player did not send its listing."
                                  : "The player did not list its memory card (is one inserted?).");
    }
    freeBytes_ = info != nullptr ? info->GetPDFreeSpace() : 0;
    return 0;
}

int DeviceSession::EnterFolder(const std::string& folder) {
    if (api_->PlrSetCurrentDirectory(storage_, nullptr) != 1) {
        return Fail("The player did not go to the top folder of the storage.");
    }
    for (const std::string& part : SplitPath(folder)) {
        if (api_->PlrSetCurrentDirectory(storage_, part.c_str()) != 1) {
            std::fprintf(stderr, "qrm284: There is no folder \"%s\" on the player.\n", part.c_str());
            return ExitFailure;
        }
    }
    CStorageInfo* info = nullptr;
    if (api_->PlrGetStorageInfo(storage_, info) != 1) {
        return Fail("The player did not send its listing.");
    }
    freeBytes_ = info != nullptr ? info->GetPDFreeSpace() : 0;
    return 0;
}

std::vector<ListedEntry> DeviceSession::Listing() {
    std::vector<ListedEntry> entries;
    const long count = api_->PlrGetFileCount(0);
    CPDFileInfo current;
    int files = 0;
    for (int i = 0; i < count; ++i) {
        if (api_->PlrGetFIleInfo(storage_, i, nullptr) != 1) {
            break;
        }
        ListedEntry entry;
        entry.name = current.GetFileName();
        entry.extension = current.GetFileExt();
        entry.folder = (current.GetAttribMark() & 0x10) != 0;
        entry.size = current.GetFileSize();
        entry.position = i;
        if (!entry.folder) {
            entry.filePosition = files++;
        }
        entries.push_back(entry);
    }
    return entries;
}

const ListedEntry* DeviceSession::FindLongName(const std::vector<ListedEntry>& listing, const std::string& name) {
    for (const ListedEntry& entry : listing) {
        if (!entry.folder && strcasecmp(FullName(entry).c_str(), name.c_str()) == 0) {
            return &entry;
        }
    }
    return nullptr;
}

const ListedEntry* DeviceSession::FindFile(const std::vector<ListedEntry>& listing, const std::string& name) {
    if (const ListedEntry* entry = FindLongName(listing, name)) {
        return entry;
    }
    // The 8.3 name put printed: the API keeps no short names, the player's
    // listing of the same folder does, row for row.
    auto image = NewStorageImage();
    if (dll_fn_refresh_device(image.get(), storage_) != 0) {
        return nullptr;
    }
    const size_t rows = std::min<size_t>({image->entryCount, 256, listing.size()});
    for (size_t row = 0; row < rows; ++row) {
        const FileRecord& record = image->records[row];
        if ((record.attribute & 0x10) == 0 && !listing[row].folder &&
            strcasecmp(ShortName(record).c_str(), name.c_str()) == 0) {
            return &listing[row];
        }
    }
    return nullptr;
}

bool DeviceSession::RefreshFreeBytes() {
    CStorageInfo* info = nullptr;
    if (api_->PlrGetStorageInfo(storage_, info) != 1 || info == nullptr) {
        return false;
    }
    freeBytes_ = info->GetPDFreeSpace();
    return true;
}

int DeviceSession::FindFileByPath(const std::string& path, std::vector<ListedEntry>& listing,
                                  const ListedEntry*& entry) {
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "/" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (int status = EnterFolder(folder); status != 0) {
        return status;
    }
    listing = Listing();
    entry = FindFile(listing, name);
    if (entry == nullptr) {
        std::fprintf(stderr, "qrm284: There is no file \"%s\" on the player.\n", Printable(path).c_str());
        return ExitFailure;
    }
    return 0;
}

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::stringstream stream(path);
    std::string part;
    while (std::getline(stream, part, '/')) {
        if (!part.empty()) {
            parts.push_back(part);
        }
    }
    return parts;
}

std::string FullName(const ListedEntry& entry) {
    return entry.extension.empty() || entry.folder ? entry.name : entry.name + "." + entry.extension;
}

} // namespace qrm284

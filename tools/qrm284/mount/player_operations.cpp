#include "tools/qrm284/mount/player_operations.h"

#include "tools/qrm284/mount/device_thread.h"
#include "tools/qrm284/mount/errno_table.h"
#include "tools/qrm284/mount/player_names.h"
#include "tools/qrm284/pc_file_info.h"
#include "tools/qrm284/player_file_reader.h"
#include "tools/qrm284/player_session.h"
#include "tools/qrm284/terminal_text.h"
#include "tools/qrm284/upload_source.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <vector>

#include <unistd.h>

namespace qrm284::mount {

namespace {

// Blocks the API takes: whole multiples of 32 KiB.
constexpr size_t ChunkBytes = 32 * 32768;
// What the player adds to a music file: the title trailer.
constexpr uint64_t TrailerBytes = 2080;

bool IsVoice(const std::string& extension) { return strcasecmp(extension.c_str(), "ADP") == 0; }

// The bytes the player will hold for an upload of `size` bytes with this extension.
uint64_t StoredBytes(const std::string& extension, uint64_t size) {
    const std::string shortExtension = extension.substr(0, 3);
    for (const char* trailed : {"MP3", "WMA", "MPE", "ADP"}) {
        if (strcasecmp(shortExtension.c_str(), trailed) == 0) {
            return size + TrailerBytes;
        }
    }
    return size;
}

std::string Log(const std::string& sentence) {
    std::fprintf(stderr, "qrm284 mount: %s\n", sentence.c_str());
    return sentence;
}

} // namespace

uint64_t ReadSize(const std::string& extension, uint64_t listedSize) {
    if (!IsVoice(extension)) {
        return listedSize;
    }
    // A 48-byte WAV header in front; each 260-byte block loses its 4-byte mark.
    return 48 + listedSize - 4 * ((listedSize + 259) / 260);
}

int PlayerOperations::Open() {
    const int status = session_.Open(storage_);
    opened_ = status == 0;
    current_ = opened_ ? "/" : "";
    return status;
}

bool PlayerOperations::Present() {
    return !opened_ || session_.Api().PlrIsDocked() == 1;
}

int PlayerOperations::Failure() {
    const long code = session_.Api().PlrGetLastError();
    current_.clear();   // the API's listing may now be of another folder
    const bool gone = thread_ != nullptr && !thread_->CheckPresence();
    return ErrnoForApiError(code, gone);
}

int PlayerOperations::Enter(const std::string& folder, bool freshListing) {
    CDeviceAPI& api = session_.Api();
    const std::vector<std::string> target = SplitPath(folder);
    std::vector<std::string> here = SplitPath(current_);
    size_t common = 0;
    if (current_.empty()) {
        here.clear();
    }
    while (common < here.size() && common < target.size() && here[common] == target[common]) {
        ++common;
    }
    bool refreshed = false;
    // Up by ".." while that is shorter than starting from the top.
    if (current_.empty() || here.size() - common > common) {
        if (api.PlrSetCurrentDirectory(storage_, nullptr) != 1) {
            return Failure();
        }
        common = 0;
        refreshed = true;
    } else {
        for (size_t up = here.size(); up > common; --up) {
            if (api.PlrSetCurrentDirectory(storage_, "..") != 1) {
                return Failure();
            }
            refreshed = true;
        }
    }
    current_ = "/";
    for (size_t i = 0; i < common; ++i) {
        current_ = current_ == "/" ? "/" + target[i] : current_ + "/" + target[i];
    }
    for (size_t i = common; i < target.size(); ++i) {
        if (api.PlrSetCurrentDirectory(storage_, target[i].c_str()) != 1) {
            // No code: no such folder, or the player refused.
            const int error = Failure();
            return error == EIO ? ENOENT : error;
        }
        current_ = current_ == "/" ? "/" + target[i] : current_ + "/" + target[i];
        refreshed = true;
    }
    if (freshListing && !refreshed) {
        CStorageInfo* info = nullptr;
        if (api.PlrGetStorageInfo(storage_, info) != 1) {
            return Failure();
        }
    }
    return 0;
}

FolderListing PlayerOperations::CurrentListing() {
    FolderListing listing;
    for (const ListedEntry& listed : session_.Listing()) {
        if (listed.name == "." || listed.name == "..") {
            continue;
        }
        MountEntry entry;
        entry.folder = listed.folder;
        entry.apiName = listed.name;
        entry.apiExtension = listed.extension;
        entry.name = entry.folder || !IsVoice(listed.extension) ? FullName(listed) : listed.name + ".wav";
        entry.apiSize = listed.size;
        entry.size = entry.folder ? 0 : ReadSize(listed.extension, listed.size);
        entry.filePosition = listed.filePosition;
        listing.entries.push_back(entry);
    }
    CStorageInfo info;
    listing.freeBytes = info.GetPDFreeSpace();
    listing.totalBytes = info.GetPDTotalSpace();
    return listing;
}

int PlayerOperations::List(const std::string& folder, FolderListing& listing) {
    if (int error = Enter(folder, true); error != 0) {
        return error;
    }
    listing = CurrentListing();
    return 0;
}

void PlayerOperations::Download(const std::string& folder, const MountEntry& entry, StagedFile& copy) {
    if (int error = Enter(folder, false); error != 0) {
        copy.Fail(error);
        return;
    }
    PlayerFileReader reader(session_.Api());
    FolderListing listing = CurrentListing();
    const MountEntry* listed = ListingCache::Find(listing, entry.name);
    if (listed == nullptr || listed->folder) {
        copy.Fail(ENOENT);
        return;
    }
    if (!reader.Open(storage_, listed->apiName, listed->apiExtension, static_cast<unsigned long>(listed->apiSize))) {
        copy.Fail(Failure());
        return;
    }
    copy.StartFilling(listed->size);
    std::vector<uint8_t> piece(PlayerFileReader::PieceCapacity);
    uint64_t arrived = 0;
    while (true) {
        if (copy.Abandoned()) {
            reader.Close();   // cancels the rest on the player
            copy.Fail(EIO);
            return;
        }
        const std::optional<size_t> length = reader.Next(piece.data());
        if (!length) {
            const int error = Failure();
            Log("Reading \"" + Printable(JoinPath(folder, entry.name)) + "\" from the player failed.");
            copy.Fail(error);
            return;
        }
        if (*length == 0) {
            break;
        }
        size_t done = 0;
        while (done < *length) {
            const ssize_t written = pwrite(copy.Fd(), piece.data() + done, *length - done,
                                           static_cast<off_t>(arrived + done));
            if (written < 0 && errno != EINTR) {
                const int error = errno;
                reader.Close();
                copy.Fail(error);
                Log("The cache folder did not take \"" + Printable(entry.name) + "\": " + std::strerror(error) + ".");
                return;
            }
            done += written > 0 ? static_cast<size_t>(written) : 0;
        }
        arrived += *length;
        copy.Arrived(arrived);
    }
    reader.Close();
    copy.Complete();
}

int PlayerOperations::Upload(const std::string& folder, StagedFile& staged, FolderListing& listing) {
    const std::string path = staged.Path();
    UploadSource source;
    if (std::string refusal = PrepareUploadSource(path, source); !refusal.empty()) {
        Log(refusal);
        return EINVAL;
    }
    if (int error = Enter(folder, false); error != 0) {
        return error;
    }
    CDeviceAPI& api = session_.Api();
    const std::string longName = source.extension.empty() ? source.name : source.name + "." + source.extension;
    const std::string shown = Printable(JoinPath(folder, longName));
    std::vector<ListedEntry> entries = session_.Listing();
    const ListedEntry* replaced = session_.FindFile(entries, longName);
    CStorageInfo info;
    const uint64_t room = info.GetPDFreeSpace() + (replaced != nullptr ? StoredBytes(replaced->extension, replaced->size) : 0);
    if (StoredBytes(source.extension, source.size) > room || (replaced == nullptr && entries.size() >= 256)) {
        Log("The player has no room for \"" + shown + "\"; it was not stored.");
        return ENOSPC;
    }
    // The player keeps one file of a name: the old one goes first.
    if (replaced != nullptr && api.PlrDeleteByindex(storage_, replaced->filePosition) != 1) {
        Log("The player did not remove the old \"" + shown + "\" to replace it.");
        return Failure();
    }
    PcFileInfo file(source.name, source.extension, source.size);
    if (api.PlrWriteFileStart(storage_) != 1 || api.PlrWriteFileInfo(&file) != 1) {
        const int error = Failure();
        Log("The player did not take \"" + shown + "\" (" + std::strerror(error) + ").");
        return error;
    }
    UploadReader reader(source);
    std::vector<uint8_t> block(std::min<size_t>(ChunkBytes, std::max<unsigned long>(source.size, 1)));
    unsigned long done = 0;
    while (done < source.size) {
        const size_t piece = std::min<unsigned long>(source.size - done, ChunkBytes);
        if (reader.Read(block.data(), piece) != piece) {
            api.PlrCloseFile();   // fewer bytes than announced: nothing stays on the player
            Log("\"" + shown + "\" shrank in the cache folder while it was sent; it was not stored.");
            return EIO;
        }
        if (api.PlrWriteFileBlock(block.data(), static_cast<long>(piece)) != 1) {
            const int error = Failure();
            if (error != ENODEV) {
                api.PlrCloseFile();
            }
            Log("Sending \"" + shown + "\" to the player failed; it was not stored.");
            return error;
        }
        done += piece;
    }
    if (api.PlrCloseFile() != 1) {
        const int error = Failure();
        Log("The player did not finish storing \"" + shown + "\".");
        return error;
    }
    listing = CurrentListing();
    return 0;
}

int PlayerOperations::Delete(const std::string& folder, const MountEntry& entry, FolderListing& listing) {
    if (int error = Enter(folder, false); error != 0) {
        return error;
    }
    const std::vector<ListedEntry> entries = session_.Listing();
    const std::string apiName = entry.apiExtension.empty() ? entry.apiName : entry.apiName + "." + entry.apiExtension;
    const ListedEntry* file = session_.FindFile(entries, apiName);
    if (file == nullptr) {
        listing = CurrentListing();
        return ENOENT;
    }
    if (session_.Api().PlrDeleteByindex(storage_, file->filePosition) != 1) {
        return Failure();
    }
    listing = CurrentListing();
    return 0;
}

int PlayerOperations::MakeFolder(const std::string& folder, const std::string& name, FolderListing& listing) {
    if (int error = Enter(folder, false); error != 0) {
        return error;
    }
    if (session_.Api().PlrCreateDirectory(storage_, name.c_str(), 0) != 1) {
        return Failure();
    }
    listing = CurrentListing();
    return 0;
}

int PlayerOperations::RemoveFolder(const std::string& folder, const std::string& name, FolderListing& listing) {
    if (int error = Enter(folder, false); error != 0) {
        return error;
    }
    if (session_.Api().PlrRemoveDirectory(storage_, name.c_str()) != 1) {
        return Failure();
    }
    listing = CurrentListing();
    return 0;
}

int PlayerOperations::Order(const std::string& folder, const MountEntry& entry, int position, FolderListing& listing) {
    if (int error = Enter(folder, false); error != 0) {
        return error;
    }
    const std::vector<ListedEntry> entries = session_.Listing();
    const std::string apiName = entry.apiExtension.empty() ? entry.apiName : entry.apiName + "." + entry.apiExtension;
    const ListedEntry* file = session_.FindFile(entries, apiName);
    const ListedEntry* target = nullptr;
    for (const ListedEntry& candidate : entries) {
        if (candidate.filePosition == position - 1) {
            target = &candidate;
        }
    }
    if (file == nullptr) {
        return ENOENT;
    }
    if (target == nullptr) {
        return EINVAL;
    }
    CDeviceAPI& api = session_.Api();
    CStorageInfo* info = nullptr;
    if (api.PlrSortByIndex(file->position, target->position) != 1 || api.PlrGetStorageInfo(storage_, info) != 1) {
        return Failure();
    }
    listing = CurrentListing();
    return 0;
}

int PlayerOperations::ShortName(const std::string& folder, const MountEntry& entry, std::string& shortName) {
    if (int error = Enter(folder, false); error != 0) {
        return error;
    }
    // The device API keeps no 8.3 names of long-named entries: the player's own listing has them.
    auto image = NewStorageImage();
    if (dll_fn_refresh_device(image.get(), storage_) != 0) {
        return Failure();
    }
    const std::string apiName = entry.apiExtension.empty() ? entry.apiName : entry.apiName + "." + entry.apiExtension;
    const uint32_t count = std::min<uint32_t>(image->entryCount, 256);
    for (uint32_t i = 0; i < count; ++i) {
        const FileRecord& record = image->records[i];
        if (((record.attribute & 0x10) != 0) == entry.folder && strcasecmp(RecordName(record).c_str(), apiName.c_str()) == 0) {
            std::string base(record.baseName, strnlen(record.baseName, 8));
            std::string extension(record.extension, strnlen(record.extension, 3));
            base.erase(base.find_last_not_of(' ') + 1);
            extension.erase(extension.find_last_not_of(' ') + 1);
            shortName = extension.empty() ? base : base + "." + extension;
            return 0;
        }
    }
    return ENOENT;
}

} // namespace qrm284::mount

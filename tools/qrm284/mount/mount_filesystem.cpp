#include "tools/qrm284/mount/mount_filesystem.h"

#include "tools/qrm284/mount/player_names.h"
#include "tools/qrm284/terminal_text.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>
#include <optional>
#include <sstream>
#include <vector>

#include <linux/fs.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace qrm284::mount {

namespace {

constexpr const char* PositionAttribute = "user.qrm284.position";
constexpr const char* ShortNameAttribute = "user.qrm284.short_name";
// The player's allocation unit, as statfs reports its blocks.
constexpr uint64_t BlockBytes = 16384;
constexpr uint64_t MaxEntries = 256;
constexpr unsigned long MaxNameBytes = 194;

void SplitParent(const std::string& path, std::string& folder, std::string& name) {
    const auto slash = path.find_last_of('/');
    folder = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
}

// Whether the program that closes the file is ending by a signal (a killed
// cp): the kernel closes its files on the way out, and what it wrote is
// only part of the file.
bool CallerWasKilled(fuse_req_t request) {
    const fuse_ctx* context = fuse_req_ctx(request);
    std::ifstream stat("/proc/" + std::to_string(context->pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos) {
        return false;
    }
    std::istringstream fields(text.substr(close + 1));
    std::vector<std::string> values;
    for (std::string value; fields >> value;) {
        values.push_back(value);
    }
    // After the name: state is field 3, flags field 9, exit_code field 52.
    constexpr size_t FlagsIndex = 9 - 3;
    constexpr size_t ExitCodeIndex = 52 - 3;
    constexpr unsigned long Exiting = 0x4;   // PF_EXITING
    if (values.size() <= ExitCodeIndex) {
        return false;
    }
    const unsigned long flags = std::strtoul(values[FlagsIndex].c_str(), nullptr, 10);
    const long exitCode = std::strtol(values[ExitCodeIndex].c_str(), nullptr, 10);
    return (flags & Exiting) != 0 && (exitCode & 0x7F) != 0;
}

MountFilesystem& Filesystem(fuse_req_t request) {
    return *static_cast<MountFilesystem*>(fuse_req_userdata(request));
}

// No exception leaves a callback: the kernel gets an errno instead.
template <class Operation>
void Guarded(fuse_req_t request, Operation operation) {
    try {
        operation(Filesystem(request));
    } catch (const std::bad_alloc&) {
        fuse_reply_err(request, ENOMEM);
    } catch (...) {
        fuse_reply_err(request, EIO);
    }
}

MountFilesystem::OpenFile& Handle(fuse_file_info* file) {
    return *reinterpret_cast<MountFilesystem::OpenFile*>(file->fh);
}

// A folder opened for reading: its entries as they were at opendir.
struct FolderHandle {
    std::vector<std::pair<std::string, fuse_entry_param>> entries;
};

} // namespace

MountFilesystem::MountFilesystem(PlayerOperations& player, DeviceThread& thread, std::string cacheFolder,
                                 std::chrono::milliseconds listingPeriod)
    : player_(player), thread_(thread), cacheFolder_(std::move(cacheFolder)), period_(listingPeriod),
      cache_(listingPeriod) {}

void MountFilesystem::Keep(fuse_file_info* file, std::unique_ptr<OpenFile> handle) {
    file->fh = reinterpret_cast<uint64_t>(handle.get());
    std::lock_guard lock(mutex_);
    openFiles_[file->fh] = std::move(handle);
}

std::unique_ptr<MountFilesystem::OpenFile> MountFilesystem::Take(fuse_file_info* file) {
    std::lock_guard lock(mutex_);
    auto found = openFiles_.find(file->fh);
    std::unique_ptr<OpenFile> handle = std::move(found->second);
    openFiles_.erase(found);
    return handle;
}

int MountFilesystem::Listing(const std::string& folder, FolderListing& listing) {
    {
        std::lock_guard lock(mutex_);
        if (auto cached = cache_.Get(folder, true)) {
            listing = std::move(*cached);
            return 0;
        }
    }
    FolderListing fetched;
    if (int error = thread_.Run([&] { return player_.List(folder, fetched); }); error != 0) {
        return error;
    }
    StoreListing(folder, std::move(fetched));
    std::lock_guard lock(mutex_);
    listing = *cache_.Get(folder, false);
    return 0;
}

void MountFilesystem::StoreListing(const std::string& folder, FolderListing listing) {
    std::lock_guard lock(mutex_);
    // A cached copy stays valid while the player lists its file unchanged.
    for (const MountEntry& entry : listing.entries) {
        const uint64_t inode = cache_.Inode(JoinPath(folder, entry.name));
        const auto copy = copies_.find(inode);
        if (copy != copies_.end() && !copy->second->Dirty() && copy->second->IsComplete() &&
            copy->second->Size() != entry.size) {
            copies_.erase(copy);
        }
    }
    cache_.Store(folder, std::move(listing));
}

int MountFilesystem::Resolve(fuse_ino_t inode, std::string& path) {
    std::lock_guard lock(mutex_);
    auto found = cache_.PathOf(inode);
    if (!found) {
        return ESTALE;
    }
    path = *found;
    return 0;
}

int MountFilesystem::Entry(const std::string& path, MountEntry& entry) {
    if (path == "/") {
        entry = MountEntry{};
        entry.folder = true;
        return 0;
    }
    std::string folder;
    std::string name;
    SplitParent(path, folder, name);
    FolderListing listing;
    if (int error = Listing(folder, listing); error != 0) {
        return error;
    }
    const MountEntry* found = ListingCache::Find(listing, name);
    if (found == nullptr) {
        return ENOENT;
    }
    entry = *found;
    return 0;
}

struct stat MountFilesystem::Attributes(const std::string& path, const MountEntry& entry) {
    struct stat attributes {};
    std::lock_guard lock(mutex_);
    attributes.st_ino = cache_.Inode(path);
    attributes.st_mode = entry.folder ? S_IFDIR | 0755 : S_IFREG | 0644;
    attributes.st_nlink = entry.folder ? 2 : 1;
    attributes.st_uid = getuid();
    attributes.st_gid = getgid();
    attributes.st_size = static_cast<off_t>(entry.size);
    // A file being written shows its staged size.
    if (const auto copy = copies_.find(attributes.st_ino); copy != copies_.end() && copy->second->Dirty()) {
        attributes.st_size = static_cast<off_t>(copy->second->Size());
    }
    // cp and cat size their buffers by this: fewer, larger requests.
    attributes.st_blksize = 1 << 20;
    attributes.st_blocks = (attributes.st_size + 511) / 512;
    const auto seconds = std::chrono::system_clock::to_time_t(mounted_);
    attributes.st_atim.tv_sec = attributes.st_mtim.tv_sec = attributes.st_ctim.tv_sec = seconds;
    return attributes;
}

fuse_entry_param MountFilesystem::EntryParam(const std::string& path, const MountEntry& entry) {
    fuse_entry_param param{};
    param.attr = Attributes(path, entry);
    param.ino = param.attr.st_ino;
    // A file being written may yet fail to reach the player: the kernel asks again each time.
    const double seconds = entry.staged ? 0 : std::chrono::duration<double>(period_).count();
    param.attr_timeout = seconds;
    param.entry_timeout = seconds;
    return param;
}

void MountFilesystem::Lookup(fuse_req_t request, fuse_ino_t parent, const char* name) {
    std::string folder;
    MountEntry entry;
    if (int error = Resolve(parent, folder); error != 0) {
        fuse_reply_err(request, error);
        return;
    }
    const std::string path = JoinPath(folder, name);
    if (int error = Entry(path, entry); error != 0) {
        fuse_reply_err(request, error);
        return;
    }
    // The player compares names without ASCII case: the path keeps its stored spelling.
    const fuse_entry_param param = EntryParam(JoinPath(folder, entry.name), entry);
    fuse_reply_entry(request, &param);
}

void MountFilesystem::GetAttr(fuse_req_t request, fuse_ino_t inode) {
    std::string path;
    MountEntry entry;
    if (int error = Resolve(inode, path); error != 0 || (error = Entry(path, entry)) != 0) {
        fuse_reply_err(request, error);
        return;
    }
    const fuse_entry_param param = EntryParam(path, entry);
    fuse_reply_attr(request, &param.attr, param.attr_timeout);
}

void MountFilesystem::SetAttr(fuse_req_t request, fuse_ino_t inode, const struct stat& attributes, int toSet,
                              fuse_file_info* file) {
    std::string path;
    MountEntry entry;
    if (int error = Resolve(inode, path); error != 0 || (error = Entry(path, entry)) != 0) {
        fuse_reply_err(request, error);
        return;
    }
    // Modes, owners and times succeed without effect: the player keeps none of them.
    if ((toSet & FUSE_SET_ATTR_SIZE) != 0) {
        if (entry.folder) {
            fuse_reply_err(request, EISDIR);
            return;
        }
        int error = Room(path, static_cast<uint64_t>(attributes.st_size));
        std::shared_ptr<StagedFile> copy;
        if (error == 0 && file != nullptr && Handle(file).writing) {
            copy = Handle(file).copy;
        } else if (error == 0) {
            copy = WholeCopy(inode, path, entry, error);
        }
        if (error == 0) {
            error = copy->Truncate(static_cast<uint64_t>(attributes.st_size));
        }
        // Without an open file no close follows: the change goes to the player now.
        if (error == 0 && (file == nullptr || !Handle(file).writing)) {
            error = Commit(inode, path, copy);
        }
        if (error != 0) {
            fuse_reply_err(request, error);
            return;
        }
        if ((error = Entry(path, entry)) != 0) {
            fuse_reply_err(request, error);
            return;
        }
    }
    const struct stat now = Attributes(path, entry);
    fuse_reply_attr(request, &now, std::chrono::duration<double>(period_).count());
}

void MountFilesystem::OpenDir(fuse_req_t request, fuse_ino_t inode, fuse_file_info* file) {
    std::string path;
    MountEntry entry;
    if (int error = Resolve(inode, path); error != 0 || (error = Entry(path, entry)) != 0) {
        fuse_reply_err(request, error);
        return;
    }
    if (!entry.folder) {
        fuse_reply_err(request, ENOTDIR);
        return;
    }
    FolderListing listing;
    if (int error = Listing(path, listing); error != 0) {
        fuse_reply_err(request, error);
        return;
    }
    auto handle = std::make_shared<FolderHandle>();
    fuse_entry_param dot{};
    dot.attr.st_mode = S_IFDIR;
    handle->entries.emplace_back(".", dot);
    handle->entries.emplace_back("..", dot);
    for (const MountEntry& child : listing.entries) {
        handle->entries.emplace_back(child.name, EntryParam(JoinPath(path, child.name), child));
    }
    file->fh = reinterpret_cast<uint64_t>(handle.get());
    {
        std::lock_guard lock(mutex_);
        openFolders_[file->fh] = handle;
    }
    file->cache_readdir = 0;
    fuse_reply_open(request, file);
}

void MountFilesystem::ReadDir(fuse_req_t request, fuse_ino_t, size_t size, off_t offset, fuse_file_info* file,
                              bool plus) {
    const FolderHandle& handle = *reinterpret_cast<FolderHandle*>(file->fh);
    std::vector<char> buffer(size);
    size_t used = 0;
    for (size_t i = static_cast<size_t>(std::max<off_t>(offset, 0)); i < handle.entries.size(); ++i) {
        const auto& [name, param] = handle.entries[i];
        const off_t next = static_cast<off_t>(i + 1);
        const size_t added =
            plus ? fuse_add_direntry_plus(request, buffer.data() + used, size - used, name.c_str(), &param, next)
                 : fuse_add_direntry(request, buffer.data() + used, size - used, name.c_str(), &param.attr, next);
        if (added > size - used) {
            break;
        }
        used += added;
    }
    fuse_reply_buf(request, buffer.data(), used);
}

void MountFilesystem::ReleaseDir(fuse_req_t request, fuse_file_info* file) {
    {
        std::lock_guard lock(mutex_);
        openFolders_.erase(file->fh);
    }
    fuse_reply_err(request, 0);
}

std::shared_ptr<StagedFile> MountFilesystem::ReadableCopy(uint64_t inode, const std::string& path,
                                                           const MountEntry& entry, int& error) {
    std::shared_ptr<StagedFile> copy;
    {
        std::lock_guard lock(mutex_);
        if (const auto found = copies_.find(inode);
            found != copies_.end() && (found->second->IsComplete() || found->second->IsFilling())) {
            found->second->Opened();
            return found->second;
        }
        copy = StagedFile::Create(cacheFolder_, entry.name, error);
        if (copy == nullptr) {
            return nullptr;
        }
        copy->StartFilling(entry.size);
        copy->Opened();
        copies_[inode] = copy;
    }
    std::string folder;
    std::string name;
    SplitParent(path, folder, name);
    // The player's operations outlive this object; a queued download may run after it.
    thread_.Post([&player = player_, folder, entry, copy] { player.Download(folder, entry, *copy); },
                 [copy] { copy->Fail(ENODEV); });
    return copy;
}

std::shared_ptr<StagedFile> MountFilesystem::WholeCopy(uint64_t inode, const std::string& path,
                                                        const MountEntry& entry, int& error) {
    if (entry.staged) {
        std::lock_guard lock(mutex_);
        if (const auto found = copies_.find(inode); found != copies_.end()) {
            return found->second;
        }
        error = ENOENT;
        return nullptr;
    }
    std::shared_ptr<StagedFile> copy = ReadableCopy(inode, path, entry, error);
    if (copy == nullptr) {
        return nullptr;
    }
    error = copy->WaitFor(UINT64_MAX);
    copy->Closed();
    return error == 0 ? copy : nullptr;
}

int MountFilesystem::Room(const std::string& path, uint64_t end) {
    struct statvfs local {};
    if (statvfs(cacheFolder_.c_str(), &local) == 0 && end > static_cast<uint64_t>(local.f_bavail) * local.f_frsize) {
        return ENOSPC;
    }
    std::string folder;
    std::string name;
    SplitParent(path, folder, name);
    // From the listing as last fetched: a write does not wait for the player.
    std::lock_guard lock(mutex_);
    const std::optional<FolderListing> listing = cache_.Get(folder, false);
    const MountEntry* existing = listing ? ListingCache::Find(*listing, name) : nullptr;
    const uint64_t replaced = existing != nullptr && !existing->staged ? existing->apiSize : 0;
    return end > cache_.FreeBytes() + replaced ? ENOSPC : 0;
}

void MountFilesystem::Open(fuse_req_t request, fuse_ino_t inode, fuse_file_info* file) {
    std::string path;
    MountEntry entry;
    if (int error = Resolve(inode, path); error != 0 || (error = Entry(path, entry)) != 0) {
        fuse_reply_err(request, error);
        return;
    }
    if (entry.folder) {
        fuse_reply_err(request, EISDIR);
        return;
    }
    auto handle = std::make_unique<OpenFile>();
    handle->inode = inode;
    handle->writing = (file->flags & O_ACCMODE) != O_RDONLY;
    int error = 0;
    if (handle->writing && ((file->flags & O_TRUNC) != 0 || entry.staged)) {
        std::lock_guard lock(mutex_);
        auto& copy = copies_[inode];
        if (copy == nullptr || !copy->Dirty()) {
            copy = StagedFile::Create(cacheFolder_, entry.name, error);
        }
        if (copy != nullptr && (file->flags & O_TRUNC) != 0) {
            error = copy->Truncate(0);
        }
        handle->copy = copy;
        if (copy == nullptr) {
            copies_.erase(inode);
        }
    } else if (handle->writing) {
        handle->copy = WholeCopy(inode, path, entry, error);
    } else {
        handle->copy = ReadableCopy(inode, path, entry, error);
        handle->copy = error == 0 ? handle->copy : nullptr;
    }
    if (error != 0 || handle->copy == nullptr) {
        fuse_reply_err(request, error != 0 ? error : EIO);
        return;
    }
    if (handle->writing) {
        handle->copy->Opened();
    }
    Keep(file, std::move(handle));
    if (fuse_reply_open(request, file) != 0) {
        Take(file)->copy->Closed();
    }
}

void MountFilesystem::Create(fuse_req_t request, fuse_ino_t parent, const char* name, fuse_file_info* file) {
    std::string folder;
    FolderListing listing;
    if (int error = Resolve(parent, folder); error != 0 || (error = Listing(folder, listing)) != 0) {
        fuse_reply_err(request, error);
        return;
    }
    if (int error = CheckPlayerName(folder, name, false); error != 0) {
        fuse_reply_err(request, error);
        return;
    }
    if (const MountEntry* existing = ListingCache::Find(listing, name); existing != nullptr) {
        if (existing->folder || (file->flags & O_EXCL) != 0) {
            fuse_reply_err(request, existing->folder ? EISDIR : EEXIST);
            return;
        }
    } else if (listing.entries.size() >= MaxEntries) {
        fuse_reply_err(request, ENOSPC);
        return;
    }
    const std::string path = JoinPath(folder, name);
    auto handle = std::make_unique<OpenFile>();
    handle->writing = true;
    int error = 0;
    handle->copy = StagedFile::Create(cacheFolder_, name, error);
    if (handle->copy == nullptr) {
        fuse_reply_err(request, error);
        return;
    }
    // A new empty file is a file too: it is uploaded at close.
    handle->copy->SetDirty(true);
    handle->copy->Opened();
    MountEntry entry;
    {
        std::lock_guard lock(mutex_);
        cache_.AddStaged(folder, name);
        handle->inode = cache_.Inode(path);
        copies_[handle->inode] = handle->copy;
        entry = *ListingCache::Find(*cache_.Get(folder, false), name);
    }
    const fuse_entry_param param = EntryParam(path, entry);
    Keep(file, std::move(handle));
    if (fuse_reply_create(request, &param, file) != 0) {
        Take(file)->copy->Closed();
    }
}

void MountFilesystem::Read(fuse_req_t request, size_t size, off_t offset, fuse_file_info* file) {
    OpenFile& handle = Handle(file);
    const uint64_t end = static_cast<uint64_t>(offset) + size;
    if (int error = handle.copy->WaitFor(std::min(end, handle.copy->Size())); error != 0) {
        fuse_reply_err(request, error);
        return;
    }
    fuse_bufvec buffer = FUSE_BUFVEC_INIT(size);
    buffer.buf[0].flags = static_cast<fuse_buf_flags>(FUSE_BUF_IS_FD | FUSE_BUF_FD_SEEK);
    buffer.buf[0].fd = handle.copy->Fd();
    buffer.buf[0].pos = offset;
    fuse_reply_data(request, &buffer, FUSE_BUF_SPLICE_MOVE);
}

void MountFilesystem::Write(fuse_req_t request, const char* data, size_t size, off_t offset, fuse_file_info* file) {
    OpenFile& handle = Handle(file);
    std::string path;
    int error = handle.writing ? Resolve(handle.inode, path) : EBADF;
    if (error == 0 && handle.writeError == 0) {
        error = Room(path, static_cast<uint64_t>(offset) + size);
    }
    if (error == 0 && handle.writeError == 0) {
        error = handle.copy->Write(data, size, static_cast<uint64_t>(offset));
    }
    if (error != 0 || handle.writeError != 0) {
        handle.writeError = handle.writeError != 0 ? handle.writeError : error;
        fuse_reply_err(request, handle.writeError);
        return;
    }
    fuse_reply_write(request, size);
}

void MountFilesystem::Discard(uint64_t inode, const std::string& path, const std::shared_ptr<StagedFile>& copy) {
    std::string folder;
    std::string name;
    SplitParent(path, folder, name);
    copy->SetDirty(false);
    std::lock_guard lock(mutex_);
    cache_.RemoveStaged(folder, name);
    if (const auto found = copies_.find(inode); found != copies_.end() && found->second == copy) {
        copies_.erase(found);
    }
}

int MountFilesystem::Commit(uint64_t inode, const std::string& path, const std::shared_ptr<StagedFile>& copy) {
    std::string folder;
    std::string name;
    SplitParent(path, folder, name);
    copy->SetDirty(false);
    FolderListing listing;
    const int error = thread_.Run([&] { return player_.Upload(folder, *copy, listing); });
    {
        std::lock_guard lock(mutex_);
        cache_.RemoveStaged(folder, name);
        if (error != 0) {
            // The old file may have gone before the new one failed: ask the player next time.
            cache_.Forget(folder);
            copies_.erase(inode);
        }
    }
    if (error == 0) {
        StoreListing(folder, std::move(listing));
    }
    return error;
}

void MountFilesystem::Flush(fuse_req_t request, fuse_file_info* file) {
    OpenFile& handle = Handle(file);
    std::string path;
    int error = 0;
    if (handle.writing && (handle.copy->Dirty() || handle.writeError != 0) && Resolve(handle.inode, path) == 0) {
        if (handle.writeError != 0 || CallerWasKilled(request)) {
            if (handle.writeError != 0) {
                std::fprintf(stderr, "qrm284 mount: Writing \"%s\" failed (%s); it was not stored.\n",
                             Printable(path).c_str(), std::strerror(handle.writeError));
            } else {
                std::fprintf(stderr, "qrm284 mount: The program writing \"%s\" was killed; it was not stored.\n",
                             Printable(path).c_str());
            }
            Discard(handle.inode, path, handle.copy);
            error = handle.writeError;
        } else {
            error = Commit(handle.inode, path, handle.copy);
        }
    }
    fuse_reply_err(request, error);
}

void MountFilesystem::Release(fuse_req_t request, fuse_file_info* file) {
    std::unique_ptr<OpenFile> handle = Take(file);
    std::string path;
    if (handle->writing && handle->copy->Dirty() && handle->writeError == 0 && Resolve(handle->inode, path) == 0) {
        Commit(handle->inode, path, handle->copy);   // no one to tell: the daemon's log says why
    }
    handle->copy->Closed();
    fuse_reply_err(request, 0);
}

void MountFilesystem::Unlink(fuse_req_t request, fuse_ino_t parent, const char* name) {
    std::string folder;
    MountEntry entry;
    int error = Resolve(parent, folder);
    const std::string path = JoinPath(folder, name);
    if (error == 0) {
        error = Entry(path, entry);
    }
    if (error == 0 && entry.folder) {
        error = EISDIR;
    }
    if (error == 0 && !entry.staged) {
        FolderListing listing;
        error = thread_.Run([&] { return player_.Delete(folder, entry, listing); });
        if (error == 0) {
            StoreListing(folder, std::move(listing));
        }
    }
    if (error == 0) {
        std::lock_guard lock(mutex_);
        cache_.RemoveStaged(folder, entry.name);
        const uint64_t inode = cache_.Inode(JoinPath(folder, entry.name));
        if (const auto copy = copies_.find(inode); copy != copies_.end()) {
            copy->second->SetDirty(false);
            copies_.erase(copy);
        }
    }
    fuse_reply_err(request, error);
}

void MountFilesystem::MakeDir(fuse_req_t request, fuse_ino_t parent, const char* name) {
    std::string folder;
    FolderListing listing;
    int error = Resolve(parent, folder);
    if (error == 0) {
        // File managers that find no trash folder delete at once.
        error = IsTrashFolderName(name) ? EPERM : CheckPlayerName(folder, name, true);
    }
    if (error == 0) {
        error = Listing(folder, listing);
    }
    if (error == 0 && ListingCache::Find(listing, name) != nullptr) {
        error = EEXIST;
    }
    if (error == 0 && listing.entries.size() >= MaxEntries) {
        error = ENOSPC;
    }
    if (error == 0) {
        error = thread_.Run([&] { return player_.MakeFolder(folder, name, listing); });
    }
    const MountEntry* made = error == 0 ? ListingCache::Find(listing, name) : nullptr;
    if (error == 0 && made == nullptr) {
        error = EIO;
    }
    if (error != 0) {
        fuse_reply_err(request, error);
        return;
    }
    const MountEntry entry = *made;
    StoreListing(folder, std::move(listing));
    const fuse_entry_param param = EntryParam(JoinPath(folder, entry.name), entry);
    fuse_reply_entry(request, &param);
}

void MountFilesystem::RemoveDir(fuse_req_t request, fuse_ino_t parent, const char* name) {
    std::string folder;
    MountEntry entry;
    FolderListing inside;
    int error = Resolve(parent, folder);
    const std::string path = JoinPath(folder, name);
    if (error == 0) {
        error = Entry(path, entry);
    }
    if (error == 0 && !entry.folder) {
        error = ENOTDIR;
    }
    if (error == 0) {
        error = Listing(JoinPath(folder, entry.name), inside);
    }
    if (error == 0 && !inside.entries.empty()) {
        error = ENOTEMPTY;
    }
    FolderListing listing;
    if (error == 0) {
        error = thread_.Run([&] { return player_.RemoveFolder(folder, entry.name, listing); });
    }
    if (error == 0) {
        StoreListing(folder, std::move(listing));
        std::lock_guard lock(mutex_);
        cache_.Forget(JoinPath(folder, entry.name));
    }
    fuse_reply_err(request, error);
}

void MountFilesystem::Rename(fuse_req_t request, fuse_ino_t parent, const char* name, fuse_ino_t newParent,
                             const char* newName, unsigned int flags) {
    std::string folder;
    std::string newFolder;
    MountEntry entry;
    MountEntry target;
    int error = (flags & RENAME_EXCHANGE) != 0 ? EINVAL : Resolve(parent, folder);
    if (error == 0) {
        error = Resolve(newParent, newFolder);
    }
    const std::string path = JoinPath(folder, name);
    const std::string newPath = JoinPath(newFolder, newName);
    if (error == 0) {
        error = Entry(path, entry);
    }
    // The player cannot rename: a folder would have to be copied whole, which mv does itself.
    if (error == 0 && entry.folder) {
        error = EXDEV;
    }
    if (error == 0) {
        error = CheckPlayerName(newFolder, newName, false);
    }
    const bool targetExists = error == 0 && Entry(newPath, target) == 0;
    if (error == 0 && targetExists && target.folder) {
        error = EISDIR;
    }
    if (error == 0 && targetExists && (flags & RENAME_NOREPLACE) != 0) {
        error = EEXIST;
    }
    uint64_t inode = 0;
    {
        std::lock_guard lock(mutex_);
        inode = cache_.Inode(JoinPath(folder, entry.name));
    }
    std::shared_ptr<StagedFile> copy;
    if (error == 0) {
        copy = WholeCopy(inode, path, entry, error);
    }
    // A file not yet uploaded only changes the name it will be uploaded under.
    if (error == 0 && copy->Dirty() && !entry.staged) {
        error = Commit(inode, path, copy);
    }
    if (error == 0) {
        error = copy->Rename(newName);
    }
    if (error == 0 && !entry.staged) {
        FolderListing listing;
        error = thread_.Run([&] { return player_.Upload(newFolder, *copy, listing); });
        if (error == 0) {
            StoreListing(newFolder, std::move(listing));
        } else {
            copy->Rename(entry.name);
        }
        // Upload replaced a file of the same name but for case: that was this one.
        const bool sameFile = folder == newFolder && strcasecmp(entry.name.c_str(), newName) == 0;
        if (error == 0 && !sameFile) {
            error = thread_.Run([&] { return player_.Delete(folder, entry, listing); });
            if (error == 0) {
                StoreListing(folder, std::move(listing));
            }
        }
    }
    if (error == 0) {
        std::lock_guard lock(mutex_);
        if (entry.staged) {
            cache_.RemoveStaged(folder, entry.name);
            cache_.AddStaged(newFolder, newName);
        }
        cache_.MoveInode(JoinPath(folder, entry.name), newPath);
        copies_.erase(inode);
        copies_[cache_.Inode(newPath)] = copy;
    }
    fuse_reply_err(request, error);
}

void MountFilesystem::StatFs(fuse_req_t request) {
    FolderListing top;
    if (int error = Listing("/", top); error != 0) {
        fuse_reply_err(request, error);
        return;
    }
    struct statvfs figures {};
    figures.f_bsize = BlockBytes;
    figures.f_frsize = BlockBytes;
    figures.f_blocks = top.totalBytes / BlockBytes;
    figures.f_bfree = top.freeBytes / BlockBytes;
    figures.f_bavail = figures.f_bfree;
    figures.f_files = MaxEntries;
    figures.f_ffree = MaxEntries - std::min<uint64_t>(top.entries.size(), MaxEntries);
    figures.f_namemax = MaxNameBytes;
    fuse_reply_statfs(request, &figures);
}

void MountFilesystem::GetXattr(fuse_req_t request, fuse_ino_t inode, const char* name, size_t size) {
    std::string path;
    MountEntry entry;
    if (int error = Resolve(inode, path); error != 0 || (error = Entry(path, entry)) != 0) {
        fuse_reply_err(request, error);
        return;
    }
    std::string value;
    int error = ENODATA;
    if (std::strcmp(name, PositionAttribute) == 0 && !entry.folder && entry.filePosition >= 0) {
        value = std::to_string(entry.filePosition + 1);
        error = 0;
    } else if (std::strcmp(name, ShortNameAttribute) == 0 && path != "/" && !entry.staged) {
        std::string folder;
        std::string base;
        SplitParent(path, folder, base);
        error = thread_.Run([&] { return player_.ShortName(folder, entry, value); });
    }
    if (error != 0) {
        fuse_reply_err(request, error);
    } else if (size == 0) {
        fuse_reply_xattr(request, value.size());
    } else if (size < value.size()) {
        fuse_reply_err(request, ERANGE);
    } else {
        fuse_reply_buf(request, value.data(), value.size());
    }
}

void MountFilesystem::SetXattr(fuse_req_t request, fuse_ino_t inode, const char* name, const char* value, size_t size) {
    std::string path;
    MountEntry entry;
    if (int error = Resolve(inode, path); error != 0 || (error = Entry(path, entry)) != 0) {
        fuse_reply_err(request, error);
        return;
    }
    if (std::strcmp(name, ShortNameAttribute) == 0) {
        fuse_reply_err(request, EPERM);   // the player makes it
        return;
    }
    if (std::strcmp(name, PositionAttribute) != 0 || entry.folder || entry.staged) {
        fuse_reply_err(request, ENOTSUP);
        return;
    }
    std::string text(value, size);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\0')) {
        text.pop_back();
    }
    int position = 0;
    const auto [end, parsed] = std::from_chars(text.data(), text.data() + text.size(), position);
    if (parsed != std::errc{} || end != text.data() + text.size() || position < 1) {
        fuse_reply_err(request, EINVAL);
        return;
    }
    std::string folder;
    std::string base;
    SplitParent(path, folder, base);
    FolderListing listing;
    const int error = thread_.Run([&] { return player_.Order(folder, entry, position, listing); });
    if (error == 0) {
        StoreListing(folder, std::move(listing));
    }
    fuse_reply_err(request, error);
}

void MountFilesystem::ListXattr(fuse_req_t request, fuse_ino_t inode, size_t size) {
    std::string path;
    MountEntry entry;
    if (int error = Resolve(inode, path); error != 0 || (error = Entry(path, entry)) != 0) {
        fuse_reply_err(request, error);
        return;
    }
    std::string names;
    if (!entry.folder && !entry.staged) {
        names.append(PositionAttribute).push_back('\0');
    }
    if (path != "/" && !entry.staged) {
        names.append(ShortNameAttribute).push_back('\0');
    }
    if (size == 0) {
        fuse_reply_xattr(request, names.size());
    } else if (size < names.size()) {
        fuse_reply_err(request, ERANGE);
    } else {
        fuse_reply_buf(request, names.data(), names.size());
    }
}

void MountFilesystem::RemoveXattr(fuse_req_t request, fuse_ino_t, const char* name) {
    const bool ours = std::strcmp(name, PositionAttribute) == 0 || std::strcmp(name, ShortNameAttribute) == 0;
    fuse_reply_err(request, ours ? EPERM : ENODATA);
}

const fuse_lowlevel_ops& MountFilesystem::Operations() {
    static const fuse_lowlevel_ops operations = [] {
        fuse_lowlevel_ops ops{};
        ops.init = [](void*, fuse_conn_info* connection) {
            // readdirplus: a file manager's stat of every entry costs nothing more.
            connection->want |= FUSE_CAP_READDIRPLUS;
            connection->want &= ~FUSE_CAP_READDIRPLUS_AUTO;
            connection->want |= FUSE_CAP_ATOMIC_O_TRUNC;
            connection->want &= ~FUSE_CAP_WRITEBACK_CACHE;
            // Fewer, larger writes while a copy is staged.
            connection->max_write = 1u << 20;
            connection->max_readahead = std::max(connection->max_readahead, 1u << 20);
        };
        ops.lookup = [](fuse_req_t r, fuse_ino_t p, const char* n) { Guarded(r, [&](auto& fs) { fs.Lookup(r, p, n); }); };
        ops.getattr = [](fuse_req_t r, fuse_ino_t i, fuse_file_info*) { Guarded(r, [&](auto& fs) { fs.GetAttr(r, i); }); };
        ops.setattr = [](fuse_req_t r, fuse_ino_t i, struct stat* a, int s, fuse_file_info* f) {
            Guarded(r, [&](auto& fs) { fs.SetAttr(r, i, *a, s, f); });
        };
        ops.opendir = [](fuse_req_t r, fuse_ino_t i, fuse_file_info* f) { Guarded(r, [&](auto& fs) { fs.OpenDir(r, i, f); }); };
        ops.readdir = [](fuse_req_t r, fuse_ino_t i, size_t s, off_t o, fuse_file_info* f) {
            Guarded(r, [&](auto& fs) { fs.ReadDir(r, i, s, o, f, false); });
        };
        ops.readdirplus = [](fuse_req_t r, fuse_ino_t i, size_t s, off_t o, fuse_file_info* f) {
            Guarded(r, [&](auto& fs) { fs.ReadDir(r, i, s, o, f, true); });
        };
        ops.releasedir = [](fuse_req_t r, fuse_ino_t, fuse_file_info* f) { Guarded(r, [&](auto& fs) { fs.ReleaseDir(r, f); }); };
        ops.open = [](fuse_req_t r, fuse_ino_t i, fuse_file_info* f) { Guarded(r, [&](auto& fs) { fs.Open(r, i, f); }); };
        ops.create = [](fuse_req_t r, fuse_ino_t p, const char* n, mode_t, fuse_file_info* f) {
            Guarded(r, [&](auto& fs) { fs.Create(r, p, n, f); });
        };
        ops.read = [](fuse_req_t r, fuse_ino_t, size_t s, off_t o, fuse_file_info* f) {
            Guarded(r, [&](auto& fs) { fs.Read(r, s, o, f); });
        };
        ops.write = [](fuse_req_t r, fuse_ino_t, const char* b, size_t s, off_t o, fuse_file_info* f) {
            Guarded(r, [&](auto& fs) { fs.Write(r, b, s, o, f); });
        };
        ops.flush = [](fuse_req_t r, fuse_ino_t, fuse_file_info* f) { Guarded(r, [&](auto& fs) { fs.Flush(r, f); }); };
        ops.fsync = [](fuse_req_t r, fuse_ino_t, int, fuse_file_info* f) { Guarded(r, [&](auto& fs) { fs.Flush(r, f); }); };
        ops.release = [](fuse_req_t r, fuse_ino_t, fuse_file_info* f) { Guarded(r, [&](auto& fs) { fs.Release(r, f); }); };
        ops.unlink = [](fuse_req_t r, fuse_ino_t p, const char* n) { Guarded(r, [&](auto& fs) { fs.Unlink(r, p, n); }); };
        ops.mkdir = [](fuse_req_t r, fuse_ino_t p, const char* n, mode_t) { Guarded(r, [&](auto& fs) { fs.MakeDir(r, p, n); }); };
        ops.rmdir = [](fuse_req_t r, fuse_ino_t p, const char* n) { Guarded(r, [&](auto& fs) { fs.RemoveDir(r, p, n); }); };
        ops.rename = [](fuse_req_t r, fuse_ino_t p, const char* n, fuse_ino_t np, const char* nn, unsigned int fl) {
            Guarded(r, [&](auto& fs) { fs.Rename(r, p, n, np, nn, fl); });
        };
        ops.statfs = [](fuse_req_t r, fuse_ino_t) { Guarded(r, [&](auto& fs) { fs.StatFs(r); }); };
        ops.getxattr = [](fuse_req_t r, fuse_ino_t i, const char* n, size_t s) { Guarded(r, [&](auto& fs) { fs.GetXattr(r, i, n, s); }); };
        ops.setxattr = [](fuse_req_t r, fuse_ino_t i, const char* n, const char* v, size_t s, int) {
            Guarded(r, [&](auto& fs) { fs.SetXattr(r, i, n, v, s); });
        };
        ops.listxattr = [](fuse_req_t r, fuse_ino_t i, size_t s) { Guarded(r, [&](auto& fs) { fs.ListXattr(r, i, s); }); };
        ops.removexattr = [](fuse_req_t r, fuse_ino_t i, const char* n) { Guarded(r, [&](auto& fs) { fs.RemoveXattr(r, i, n); }); };
        return ops;
    }();
    return operations;
}

} // namespace qrm284::mount

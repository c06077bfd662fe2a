// The player's storage as a FUSE file system (libfuse3's low-level API): the
// operations the kernel asks for, answered from the listing cache and the
// staged files, with the player reached through the device thread only.
#pragma once

#define FUSE_USE_VERSION 314
#include <fuse_lowlevel.h>

#include "tools/qrm284/mount/device_thread.h"
#include "tools/qrm284/mount/listing_cache.h"
#include "tools/qrm284/mount/player_operations.h"
#include "tools/qrm284/mount/staged_file.h"

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace qrm284::mount {

class MountFilesystem {
public:
    MountFilesystem(PlayerOperations& player, DeviceThread& thread, std::string cacheFolder,
                    std::chrono::milliseconds listingPeriod);

    static const fuse_lowlevel_ops& Operations();

    // The open handle of one file: the copy it reads or writes.
    struct OpenFile {
        uint64_t inode = 0;
        std::shared_ptr<StagedFile> copy;
        bool writing = false;
        int writeError = 0;   // a write failed: the file is not uploaded, close says so
    };

    // The operations, each replying to `request` itself.
    void Lookup(fuse_req_t request, fuse_ino_t parent, const char* name);
    void GetAttr(fuse_req_t request, fuse_ino_t inode);
    void SetAttr(fuse_req_t request, fuse_ino_t inode, const struct stat& attributes, int toSet, fuse_file_info* file);
    void OpenDir(fuse_req_t request, fuse_ino_t inode, fuse_file_info* file);
    void ReadDir(fuse_req_t request, fuse_ino_t inode, size_t size, off_t offset, fuse_file_info* file, bool plus);
    void ReleaseDir(fuse_req_t request, fuse_file_info* file);
    void Open(fuse_req_t request, fuse_ino_t inode, fuse_file_info* file);
    void Create(fuse_req_t request, fuse_ino_t parent, const char* name, fuse_file_info* file);
    void Read(fuse_req_t request, size_t size, off_t offset, fuse_file_info* file);
    void Write(fuse_req_t request, const char* data, size_t size, off_t offset, fuse_file_info* file);
    void Flush(fuse_req_t request, fuse_file_info* file);
    void Release(fuse_req_t request, fuse_file_info* file);
    void Unlink(fuse_req_t request, fuse_ino_t parent, const char* name);
    void MakeDir(fuse_req_t request, fuse_ino_t parent, const char* name);
    void RemoveDir(fuse_req_t request, fuse_ino_t parent, const char* name);
    void Rename(fuse_req_t request, fuse_ino_t parent, const char* name, fuse_ino_t newParent, const char* newName,
                unsigned int flags);
    void StatFs(fuse_req_t request);
    void GetXattr(fuse_req_t request, fuse_ino_t inode, const char* name, size_t size);
    void SetXattr(fuse_req_t request, fuse_ino_t inode, const char* name, const char* value, size_t size);
    void ListXattr(fuse_req_t request, fuse_ino_t inode, size_t size);
    void RemoveXattr(fuse_req_t request, fuse_ino_t inode, const char* name);

private:
    // The folder's listing, from the cache while it is fresh; 0 or an errno.
    int Listing(const std::string& folder, FolderListing& listing);
    void StoreListing(const std::string& folder, FolderListing listing);
    int Resolve(fuse_ino_t inode, std::string& path);
    int Entry(const std::string& path, MountEntry& entry);
    struct stat Attributes(const std::string& path, const MountEntry& entry);
    fuse_entry_param EntryParam(const std::string& path, const MountEntry& entry);
    // The copy to read `entry` from, its download started when there is none.
    std::shared_ptr<StagedFile> ReadableCopy(uint64_t inode, const std::string& path, const MountEntry& entry,
                                             int& error);
    // A copy holding the whole file, to change or to upload under another name.
    std::shared_ptr<StagedFile> WholeCopy(uint64_t inode, const std::string& path, const MountEntry& entry,
                                          int& error);
    // Sends a changed copy to the player; 0 or an errno.
    int Commit(uint64_t inode, const std::string& path, const std::shared_ptr<StagedFile>& copy);
    // A file written by a program that was killed before it closed it is not uploaded.
    void Discard(uint64_t inode, const std::string& path, const std::shared_ptr<StagedFile>& copy);
    int Room(const std::string& path, uint64_t end);
    // Handles live here until the kernel releases them; an unmount by unplug releases none.
    void Keep(fuse_file_info* file, std::unique_ptr<OpenFile> handle);
    std::unique_ptr<OpenFile> Take(fuse_file_info* file);

    PlayerOperations& player_;
    DeviceThread& thread_;
    std::string cacheFolder_;
    std::chrono::milliseconds period_;
    std::chrono::system_clock::time_point mounted_ = std::chrono::system_clock::now();
    std::mutex mutex_;   // the cache and the copies
    ListingCache cache_;
    std::map<uint64_t, std::shared_ptr<StagedFile>> copies_;
    std::map<uint64_t, std::unique_ptr<OpenFile>> openFiles_;
    std::map<uint64_t, std::shared_ptr<void>> openFolders_;
};

} // namespace qrm284::mount

// What the mount knows of the player's folders: each folder's listing as the
// player last sent it, kept for a period and updated with the mount's own
// changes; the files being written that the player does not hold yet; and
// the inode numbers of the paths the kernel has been told of.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qrm284::mount {

struct MountEntry {
    std::string name;        // as the mount shows it ("Song.mp3"; voice recordings "Memo.wav")
    std::string apiName;     // as the device API lists it: name without extension, and extension
    std::string apiExtension;
    bool folder = false;
    bool staged = false;     // being written; not on the player yet
    uint64_t size = 0;       // what a read returns
    uint64_t apiSize = 0;    // as the device API lists it
    int filePosition = -1;   // among the folder's files, from 0; -1 for folders and staged files
};

struct FolderListing {
    std::vector<MountEntry> entries;
    uint64_t freeBytes = 0;
    uint64_t totalBytes = 0;
};

class ListingCache {
public:
    explicit ListingCache(std::chrono::milliseconds period) : period_(period) {}

    // The folder's listing with the staged files in it; nullopt when it was
    // never fetched, or (with `fresh`) longer ago than the period.
    std::optional<FolderListing> Get(const std::string& folder, bool fresh) const;
    // A listing as the player sent it just now (after a change of the mount's
    // own, the listing the device API refreshed).
    void Store(const std::string& folder, FolderListing listing);
    void Forget(const std::string& folder);
    void ForgetAll();

    void AddStaged(const std::string& folder, const std::string& name);
    void RemoveStaged(const std::string& folder, const std::string& name);

    // The entry `name` of the folder's last listing, names compared as the
    // player compares them (ASCII case ignored).
    static const MountEntry* Find(const FolderListing& listing, const std::string& name);

    uint64_t FreeBytes() const { return freeBytes_; }
    uint64_t TotalBytes() const { return totalBytes_; }

    // Inode numbers: 1 is the top level; a path keeps its number.
    uint64_t Inode(const std::string& path);
    std::optional<std::string> PathOf(uint64_t inode) const;
    void MoveInode(const std::string& from, const std::string& to);

private:
    struct Cached {
        FolderListing listing;
        std::chrono::steady_clock::time_point fetched;
    };
    std::chrono::milliseconds period_;
    std::map<std::string, Cached> folders_;
    std::map<std::string, std::set<std::string>> staged_;
    uint64_t freeBytes_ = 0;
    uint64_t totalBytes_ = 0;
    std::map<std::string, uint64_t> inodes_{{"/", 1}};
    std::map<uint64_t, std::string> paths_{{1, "/"}};
    uint64_t nextInode_ = 2;
};

} // namespace qrm284::mount

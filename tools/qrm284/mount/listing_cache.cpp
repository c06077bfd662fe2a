#include "tools/qrm284/mount/listing_cache.h"

#include <strings.h>

namespace qrm284::mount {

std::optional<FolderListing> ListingCache::Get(const std::string& folder, bool fresh) const {
    const auto found = folders_.find(folder);
    if (found == folders_.end() ||
        (fresh && std::chrono::steady_clock::now() - found->second.fetched > period_)) {
        return std::nullopt;
    }
    FolderListing listing = found->second.listing;
    if (const auto staged = staged_.find(folder); staged != staged_.end()) {
        for (const std::string& name : staged->second) {
            if (Find(listing, name) == nullptr) {
                MountEntry entry;
                entry.name = name;
                entry.staged = true;
                listing.entries.push_back(entry);
            }
        }
    }
    return listing;
}

void ListingCache::Store(const std::string& folder, FolderListing listing) {
    freeBytes_ = listing.freeBytes;
    totalBytes_ = listing.totalBytes;
    folders_[folder] = Cached{std::move(listing), std::chrono::steady_clock::now()};
}

void ListingCache::Forget(const std::string& folder) { folders_.erase(folder); }

void ListingCache::ForgetAll() { folders_.clear(); }

void ListingCache::AddStaged(const std::string& folder, const std::string& name) { staged_[folder].insert(name); }

void ListingCache::RemoveStaged(const std::string& folder, const std::string& name) {
    if (auto found = staged_.find(folder); found != staged_.end()) {
        found->second.erase(name);
    }
}

const MountEntry* ListingCache::Find(const FolderListing& listing, const std::string& name) {
    for (const MountEntry& entry : listing.entries) {
        if (strcasecmp(entry.name.c_str(), name.c_str()) == 0) {
            return &entry;
        }
    }
    return nullptr;
}

uint64_t ListingCache::Inode(const std::string& path) {
    const auto [found, added] = inodes_.try_emplace(path, nextInode_);
    if (added) {
        paths_[nextInode_++] = path;
    }
    return found->second;
}

std::optional<std::string> ListingCache::PathOf(uint64_t inode) const {
    const auto found = paths_.find(inode);
    return found == paths_.end() ? std::nullopt : std::optional<std::string>(found->second);
}

void ListingCache::MoveInode(const std::string& from, const std::string& to) {
    const auto found = inodes_.find(from);
    if (found == inodes_.end()) {
        return;
    }
    const uint64_t inode = found->second;
    inodes_.erase(found);
    if (const auto old = inodes_.find(to); old != inodes_.end()) {
        paths_.erase(old->second);
        inodes_.erase(old);
    }
    inodes_[to] = inode;
    paths_[inode] = to;
}

} // namespace qrm284::mount

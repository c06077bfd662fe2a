// What the device thread does with the device API: one member per operation
// the mount asks of the player. Each walks the player to the folder it
// concerns (from the folder it is in, so that a walk costs as few listings as
// it can) and returns the folder's listing as the device API refreshed it,
// so that the listing cache follows every change without asking again.
// Call them on the device thread only.
#pragma once

#include "tools/qrm284/device_session.h"
#include "tools/qrm284/mount/listing_cache.h"
#include "tools/qrm284/mount/staged_file.h"

#include <memory>
#include <string>

namespace qrm284::mount {

class DeviceThread;

class PlayerOperations {
public:
    explicit PlayerOperations(int storage) : storage_(storage) {}

    // Exit status of opening the player (sentence printed), as the commands give it.
    int Open();
    void SetThread(DeviceThread* thread) { thread_ = thread; }
    bool Present();

    // Each gives 0 or an errno; `listing` is the folder's afterwards.
    int List(const std::string& folder, FolderListing& listing);
    // Brings the file into `copy` piece by piece, telling it what arrived.
    void Download(const std::string& folder, const MountEntry& entry, StagedFile& copy);
    // Uploads the staged file under its own name into `folder`, replacing a
    // file of that name; ENOSPC before anything is sent when it will not fit.
    int Upload(const std::string& folder, StagedFile& staged, FolderListing& listing);
    int Delete(const std::string& folder, const MountEntry& entry, FolderListing& listing);
    int MakeFolder(const std::string& folder, const std::string& name, FolderListing& listing);
    int RemoveFolder(const std::string& folder, const std::string& name, FolderListing& listing);
    // Moves the file to place `position` (from 1) among the folder's files.
    int Order(const std::string& folder, const MountEntry& entry, int position, FolderListing& listing);
    // The file's or folder's 8.3 name as the player stored it.
    int ShortName(const std::string& folder, const MountEntry& entry, std::string& shortName);

private:
    int Enter(const std::string& folder, bool freshListing);
    FolderListing CurrentListing();
    int Failure();

    int storage_;
    DeviceSession session_;
    DeviceThread* thread_ = nullptr;
    bool opened_ = false;
    std::string current_;   // the folder the device API's listing holds; empty when unknown
};

// The size a read returns for a file of this listed size and extension:
// voice recordings (ADP) come back as WAV files.
uint64_t ReadSize(const std::string& extension, uint64_t listedSize);

} // namespace qrm284::mount

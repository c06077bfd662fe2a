// The player through the device API (libplrapi.so), as a manager program
// drives it: open, identify, list a storage, walk to a folder.
#pragma once

#include "plrapi.h"

#include <string>
#include <vector>

namespace qrm284 {

// One entry of the device API's cached listing.
struct ListedEntry {
    std::string name;        // long name without extension (folders: whole name)
    std::string extension;
    bool folder = false;
    unsigned long size = 0;
    int position = 0;        // files and folders counted
    int filePosition = -1;   // files counted, folders skipped; -1 for folders
};

// Holds the API object for one command; deletes it at the end.
class DeviceSession {
public:
    DeviceSession() = default;
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // Exit status (0, or ExitNoPlayer/ExitFailure with the sentence printed).
    int Open(int storage);
    // Makes `folder` ("/", "/Music/Live"), from the top level, current; exit status as for Open.
    int EnterFolder(const std::string& folder);
    std::vector<ListedEntry> Listing();
    // A file (not a folder) whose long or 8.3 name is `name`, any ASCII case;
    // a long name wins where both match.
    const ListedEntry* FindFile(const std::vector<ListedEntry>& listing, const std::string& name);
    // A file whose long name is `name`, any ASCII case.
    static const ListedEntry* FindLongName(const std::vector<ListedEntry>& listing, const std::string& name);
    // Lists the storage again for its free space; false when the player did not send it.
    bool RefreshFreeBytes();
    // Enters the folder of `path` ("song.mp3", "/Music/song.mp3") and finds
    // the file there in `listing`. Exit status: 0 with `entry` set, else the
    // sentence printed (ExitFailure for no such file).
    int FindFileByPath(const std::string& path, std::vector<ListedEntry>& listing, const ListedEntry*& entry);
    int Storage() const { return storage_; }
    CDeviceAPI& Api() { return *api_; }
    unsigned long FreeBytes() const { return freeBytes_; }

private:
    CDeviceAPI* api_ = nullptr;
    int storage_ = 0;
    unsigned long freeBytes_ = 0;
};

// "/A/B/c.mp3" -> {"A", "B", "c.mp3"}.
std::vector<std::string> SplitPath(const std::string& path);

// The name's long form with its extension, as a person writes it.
std::string FullName(const ListedEntry& entry);

} // namespace qrm284

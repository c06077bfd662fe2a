// One storage of the player ('M' or 'S'): its folders as runs of 32-byte
// directory entries, the data of its files, its capacity and current folder.
// Not locked: the Player that owns it serialises every use.
#pragma once

#include "sim/directory_entry.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kvx512sim {

inline constexpr uint32_t UnitSize = 16384;
inline constexpr uint32_t TopFolder = 0;

using FileBytes = std::shared_ptr<const std::vector<uint8_t>>;

struct Folder {
    uint32_t parent = TopFolder;
    // Entries in directory order, deleted ones (0xE5) kept in place until a
    // new group reuses them; free slots are not stored.
    std::vector<uint8_t> slots;
    size_t SlotCount() const { return slots.size() / EntrySize; }
    const uint8_t* Slot(size_t index) const { return slots.data() + index * EntrySize; }
    uint8_t* Slot(size_t index) { return slots.data() + index * EntrySize; }
};

class Storage {
public:
    explicit Storage(uint16_t capacityUnits);

    bool present = true;
    uint16_t capacityUnits;
    size_t folderSlotLimit = 512;   // the top level of a FAT16 volume holds 512 entries

    // A file takes ceil(size / 16,384) units; folders and empty files take none.
    static uint64_t UnitsFor(uint64_t size) { return (size + UnitSize - 1) / UnitSize; }
    uint16_t UsedUnits() const;
    bool HasRoomFor(uint64_t size) const;

    // Back to an empty top level (format).
    void Format();

    uint32_t Current() const { return current_; }
    const Folder* FindFolder(uint32_t number) const;
    const Folder& CurrentFolder() const { return folders_.at(current_); }
    // Slot indexes of the live short entries that are not folders: the file
    // positions of the folder, in directory order.
    std::vector<size_t> FileSlots(uint32_t folder) const;

    // 0 when a group (long-name entries, then the short entry) may be added to
    // the folder, else ErrorFolderFull (name exists or no slots left).
    uint8_t CheckNewGroup(uint32_t folder, const uint8_t* group, size_t count) const;
    // Adds a file's group; its short entry gets a first cluster unless the
    // file is empty. Returns 0 or an error code.
    uint8_t AddFile(uint32_t folder, std::vector<uint8_t> group, FileBytes data);
    // Adds a folder's group and creates the folder with its "." and "..".
    uint8_t AddFolder(uint32_t folder, std::vector<uint8_t> group, uint32_t* number = nullptr);
    uint8_t DeleteFile(uint32_t folder, size_t position);
    uint8_t SwapFiles(uint32_t folder, size_t first, size_t second);
    uint8_t ChangeFolder(uint32_t number);
    uint8_t RemoveFolder(uint32_t number);
    // The groups of the folders from the top level down to the current one.
    std::vector<uint8_t> PathEntries() const { return PathEntriesOf(current_); }
    // The stored bytes of the file whose short entry this is.
    FileBytes DataOf(const uint8_t* shortEntry) const;

    // The live entry of `folder` named `name` (long name, or the dotted short
    // name, compared without regard to ASCII case).
    std::optional<size_t> FindEntry(uint32_t folder, const std::u16string& name) const;
    bool ShortNameTaken(uint32_t folder, const ShortName& name) const;

    // Everything, for saving and restoring.
    struct State {
        std::map<uint32_t, Folder> folders;
        std::unordered_map<uint32_t, FileBytes> data;
        uint32_t current = TopFolder;
    };
    State Snapshot() const;
    bool Restore(State state);

private:
    std::vector<uint8_t> PathEntriesOf(uint32_t folder) const;
    uint32_t AllocateCluster();
    bool ClusterInUse(uint32_t cluster) const;
    // Where a group of `count` slots goes: a run of deleted slots, else the end.
    std::optional<size_t> PlaceFor(const Folder& folder, size_t count) const;
    size_t GroupStart(const Folder& folder, size_t shortIndex) const;
    void Insert(Folder& folder, const std::vector<uint8_t>& group);

    std::map<uint32_t, Folder> folders_;
    std::unordered_map<uint32_t, FileBytes> data_;   // by first cluster
    uint32_t current_ = TopFolder;
    uint32_t nextCluster_ = 2;
    uint64_t usedUnits_ = 0;
};

} // namespace kvx512sim

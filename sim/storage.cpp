#include "sim/storage.h"

#include "sim/error_code.h"

#include <algorithm>
#include <cstring>

namespace kvx512sim {

namespace {

constexpr uint32_t FirstDataCluster = 2;
constexpr uint32_t LastDataCluster = 0xFFEF;   // folder numbers cross the link as 16 bits
constexpr size_t MaxPathBytes = 0xFFFF;           // the "DG" reply counts the path in 16 bits

char16_t FoldCase(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

bool SameName(const std::u16string& a, const std::u16string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return FoldCase(x) == FoldCase(y); });
}

std::u16string Widen(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

ShortName DotName(size_t dots) {
    ShortName name;
    name.fill(' ');
    std::fill_n(name.begin(), dots, '.');
    return name;
}

} // namespace

Storage::Storage(uint16_t capacity) : capacityUnits(capacity) { Format(); }

uint16_t Storage::UsedUnits() const { return static_cast<uint16_t>(std::min<uint64_t>(usedUnits_, 0xFFFF)); }

bool Storage::HasRoomFor(uint64_t size) const { return usedUnits_ + UnitsFor(size) <= capacityUnits; }

void Storage::Format() {
    folders_.clear();
    folders_[TopFolder] = Folder{};
    data_.clear();
    current_ = TopFolder;
    nextCluster_ = FirstDataCluster;
    usedUnits_ = 0;
}

const Folder* Storage::FindFolder(uint32_t number) const {
    auto it = folders_.find(number);
    return it == folders_.end() ? nullptr : &it->second;
}

std::vector<size_t> Storage::FileSlots(uint32_t number) const {
    std::vector<size_t> files;
    const Folder* folder = FindFolder(number);
    if (folder == nullptr) {
        return files;
    }
    for (size_t i = 0; i < folder->SlotCount(); ++i) {
        const uint8_t* e = folder->Slot(i);
        if (IsLiveShortEntry(e) && !IsFolderEntry(e)) {
            files.push_back(i);
        }
    }
    return files;
}

bool Storage::ShortNameTaken(uint32_t number, const ShortName& name) const {
    const Folder* folder = FindFolder(number);
    if (folder == nullptr) {
        return false;
    }
    for (size_t i = 0; i < folder->SlotCount(); ++i) {
        const uint8_t* e = folder->Slot(i);
        if (IsLiveShortEntry(e) && std::equal(name.begin(), name.end(), e)) {
            return true;
        }
    }
    return false;
}

std::optional<size_t> Storage::FindEntry(uint32_t number, const std::u16string& name) const {
    const Folder* folder = FindFolder(number);
    if (folder == nullptr) {
        return std::nullopt;
    }
    for (size_t i = 0; i < folder->SlotCount(); ++i) {
        const uint8_t* e = folder->Slot(i);
        if (!IsLiveShortEntry(e) || IsDotEntry(e)) {
            continue;
        }
        const std::u16string longName = LongNameOf(folder->slots.data(), i);
        if ((!longName.empty() && SameName(longName, name)) || SameName(Widen(DisplayShortName(e)), name)) {
            return i;
        }
    }
    return std::nullopt;
}

uint8_t Storage::CheckNewGroup(uint32_t number, const uint8_t* group, size_t count) const {
    const Folder* folder = FindFolder(number);
    if (folder == nullptr || count == 0) {
        return ErrorBadRequest;
    }
    const uint8_t* shortEntry = group + (count - 1) * EntrySize;
    ShortName name;
    std::copy_n(shortEntry, name.size(), name.begin());
    if (ShortNameTaken(number, name)) {
        return ErrorFolderFull;
    }
    const std::u16string longName = LongNameOf(group, count - 1);
    if (!longName.empty() && FindEntry(number, longName)) {
        return ErrorFolderFull;
    }
    return PlaceFor(*folder, count) ? 0 : ErrorFolderFull;
}

std::optional<size_t> Storage::PlaceFor(const Folder& folder, size_t count) const {
    size_t run = 0;
    for (size_t i = 0; i < folder.SlotCount(); ++i) {
        run = IsDeleted(folder.Slot(i)) ? run + 1 : 0;
        if (run == count) {
            return i + 1 - count;
        }
    }
    if (folder.SlotCount() + count <= folderSlotLimit) {
        return folder.SlotCount();
    }
    return std::nullopt;
}

void Storage::Insert(Folder& folder, const std::vector<uint8_t>& group) {
    const size_t at = *PlaceFor(folder, group.size() / EntrySize);
    if (at == folder.SlotCount()) {
        folder.slots.insert(folder.slots.end(), group.begin(), group.end());
    } else {
        std::copy(group.begin(), group.end(), folder.slots.begin() + static_cast<std::ptrdiff_t>(at * EntrySize));
    }
}

bool Storage::ClusterInUse(uint32_t cluster) const { return folders_.count(cluster) != 0 || data_.count(cluster) != 0; }

uint32_t Storage::AllocateCluster() {
    for (uint32_t tries = 0; tries <= LastDataCluster - FirstDataCluster; ++tries) {
        const uint32_t cluster = nextCluster_;
        nextCluster_ = nextCluster_ == LastDataCluster ? FirstDataCluster : nextCluster_ + 1;
        if (!ClusterInUse(cluster)) {
            return cluster;
        }
    }
    return 0;
}

uint8_t Storage::AddFile(uint32_t number, std::vector<uint8_t> group, FileBytes data) {
    const size_t count = group.size() / EntrySize;
    if (count == 0 || group.size() % EntrySize != 0) {
        return ErrorBadRequest;
    }
    if (const uint8_t error = CheckNewGroup(number, group.data(), count)) {
        return error;
    }
    const size_t size = data ? data->size() : 0;
    if (!HasRoomFor(size)) {
        return ErrorNoRoom;
    }
    uint8_t* shortEntry = group.data() + (count - 1) * EntrySize;
    uint32_t cluster = 0;
    if (size > 0) {
        cluster = AllocateCluster();
        if (cluster == 0) {
            return ErrorNoRoom;
        }
        data_[cluster] = std::move(data);
        usedUnits_ += UnitsFor(size);
    }
    SetFirstCluster(shortEntry, cluster);
    Insert(folders_.at(number), group);
    return 0;
}

uint8_t Storage::AddFolder(uint32_t number, std::vector<uint8_t> group, uint32_t* created) {
    const size_t count = group.size() / EntrySize;
    if (count == 0 || group.size() % EntrySize != 0) {
        return ErrorBadRequest;
    }
    if (const uint8_t error = CheckNewGroup(number, group.data(), count)) {
        return error;
    }
    // "DG" counts the path's bytes in 16 bits: a folder deeper than that could not be told.
    if (PathEntriesOf(number).size() + group.size() > MaxPathBytes) {
        return ErrorBadRequest;
    }
    const uint32_t cluster = AllocateCluster();
    if (cluster == 0) {
        return ErrorNoRoom;
    }
    uint8_t* shortEntry = group.data() + (count - 1) * EntrySize;
    SetFirstCluster(shortEntry, cluster);
    PutLe32(shortEntry + entry::Size, 0);
    Insert(folders_.at(number), group);

    Folder folder;
    folder.parent = number;
    const uint16_t date = GetLe16(shortEntry + entry::WriteDate);
    const uint16_t time = GetLe16(shortEntry + entry::WriteTime);
    auto self = MakeShortEntry(DotName(1), AttributeFolder, date, time);
    SetFirstCluster(self.data(), cluster);
    auto parent = MakeShortEntry(DotName(2), AttributeFolder, date, time);
    SetFirstCluster(parent.data(), number);
    folder.slots.insert(folder.slots.end(), self.begin(), self.end());
    folder.slots.insert(folder.slots.end(), parent.begin(), parent.end());
    folders_[cluster] = std::move(folder);
    if (created != nullptr) {
        *created = cluster;
    }
    return 0;
}

size_t Storage::GroupStart(const Folder& folder, size_t shortIndex) const {
    size_t start = shortIndex;
    LongNameOf(folder.slots.data(), shortIndex, &start);
    return start;
}

uint8_t Storage::DeleteFile(uint32_t number, size_t position) {
    const auto files = FileSlots(number);
    if (position >= files.size()) {
        return ErrorBadRequest;
    }
    Folder& folder = folders_.at(number);
    const size_t shortIndex = files[position];
    const uint8_t* shortEntry = folder.Slot(shortIndex);
    const uint32_t size = EntryFileSize(shortEntry);
    const uint32_t cluster = FirstCluster(shortEntry);
    if (size > 0 && data_.erase(cluster) != 0) {
        usedUnits_ -= std::min(usedUnits_, UnitsFor(size));
    }
    for (size_t i = GroupStart(folder, shortIndex); i <= shortIndex; ++i) {
        folder.Slot(i)[0] = DeletedMark;
    }
    return 0;
}

uint8_t Storage::SwapFiles(uint32_t number, size_t first, size_t second) {
    const auto files = FileSlots(number);
    if (first >= files.size() || second >= files.size()) {
        return ErrorBadRequest;
    }
    if (first == second) {
        return 0;
    }
    Folder& folder = folders_.at(number);
    const size_t endA = std::min(files[first], files[second]) + 1;
    const size_t endB = std::max(files[first], files[second]) + 1;
    const size_t startA = GroupStart(folder, endA - 1);
    const size_t startB = GroupStart(folder, endB - 1);
    // The groups change places; whatever lies between them stays in between.
    auto bytes = [&](size_t from, size_t to) {
        return std::vector<uint8_t>(folder.slots.begin() + static_cast<std::ptrdiff_t>(from * EntrySize),
                                    folder.slots.begin() + static_cast<std::ptrdiff_t>(to * EntrySize));
    };
    std::vector<uint8_t> middle = bytes(endA, startB);
    std::vector<uint8_t> groupA = bytes(startA, endA);
    std::vector<uint8_t> groupB = bytes(startB, endB);
    auto out = folder.slots.begin() + static_cast<std::ptrdiff_t>(startA * EntrySize);
    out = std::copy(groupB.begin(), groupB.end(), out);
    out = std::copy(middle.begin(), middle.end(), out);
    std::copy(groupA.begin(), groupA.end(), out);
    return 0;
}

uint8_t Storage::ChangeFolder(uint32_t number) {
    if (FindFolder(number) == nullptr) {
        return ErrorBadRequest;
    }
    current_ = number;
    return 0;
}

uint8_t Storage::RemoveFolder(uint32_t number) {
    const Folder* folder = FindFolder(number);
    if (folder == nullptr) {
        return ErrorBadRequest;
    }
    for (uint32_t at = current_;; at = folders_.at(at).parent) {
        if (at == number) {
            return ErrorFolderInUse;   // the top level, the current folder or a folder above it
        }
        if (at == TopFolder) {
            break;
        }
    }
    for (size_t i = 0; i < folder->SlotCount(); ++i) {
        const uint8_t* e = folder->Slot(i);
        if (IsLiveShortEntry(e) && !IsDotEntry(e)) {
            return ErrorFolderNotEmpty;
        }
    }
    Folder& parent = folders_.at(folder->parent);
    for (size_t i = 0; i < parent.SlotCount(); ++i) {
        const uint8_t* e = parent.Slot(i);
        if (IsLiveShortEntry(e) && IsFolderEntry(e) && !IsDotEntry(e) && FirstCluster(e) == number) {
            for (size_t j = GroupStart(parent, i); j <= i; ++j) {
                parent.Slot(j)[0] = DeletedMark;
            }
            break;
        }
    }
    folders_.erase(number);
    return 0;
}

std::vector<uint8_t> Storage::PathEntriesOf(uint32_t folder) const {
    std::vector<uint8_t> path;
    for (uint32_t at = folder; at != TopFolder;) {
        const Folder& parent = folders_.at(folders_.at(at).parent);
        for (size_t i = 0; i < parent.SlotCount(); ++i) {
            const uint8_t* e = parent.Slot(i);
            if (IsLiveShortEntry(e) && IsFolderEntry(e) && !IsDotEntry(e) && FirstCluster(e) == at) {
                const size_t start = GroupStart(parent, i);
                path.insert(path.begin(), parent.Slot(start), parent.Slot(i) + EntrySize);
                break;
            }
        }
        at = folders_.at(at).parent;
    }
    return path;
}

FileBytes Storage::DataOf(const uint8_t* shortEntry) const {
    static const FileBytes empty = std::make_shared<const std::vector<uint8_t>>();
    if (EntryFileSize(shortEntry) == 0) {
        return empty;
    }
    auto it = data_.find(FirstCluster(shortEntry));
    return it == data_.end() ? empty : it->second;
}

Storage::State Storage::Snapshot() const { return State{folders_, data_, current_}; }

bool Storage::Restore(State state) {
    if (state.folders.count(TopFolder) == 0 || state.folders.count(state.current) == 0) {
        return false;
    }
    for (const auto& [number, folder] : state.folders) {
        if (folder.slots.size() % EntrySize != 0) {
            return false;
        }
        // Every folder must lead up to the top level, without a cycle.
        uint32_t at = number;
        for (size_t steps = 0; at != TopFolder; ++steps) {
            auto parent = state.folders.find(at);
            if (parent == state.folders.end() || steps > state.folders.size()) {
                return false;
            }
            at = parent->second.parent;
        }
    }
    uint64_t used = 0;
    for (const auto& [cluster, bytes] : state.data) {
        if (!bytes) {
            return false;
        }
        used += UnitsFor(bytes->size());
    }
    folders_ = std::move(state.folders);
    data_ = std::move(state.data);
    current_ = state.current;
    usedUnits_ = used;
    nextCluster_ = FirstDataCluster;
    return true;
}

} // namespace kvx512sim

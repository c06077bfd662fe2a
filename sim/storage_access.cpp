// What a test or the server sees of, and puts on, the player's storages
// without going through the pipes.
#include "sim/player.h"

#include "sim/short_name.h"
#include "sim/state_file.h"
#include "sim/utf16.h"

namespace kvx512sim {

namespace {

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '/') {
            if (!part.empty()) {
                parts.push_back(std::move(part));
            }
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    if (!part.empty()) {
        parts.push_back(std::move(part));
    }
    return parts;
}

// The folder part and the last name of a path.
std::pair<std::string, std::string> SplitLast(const std::string& path) {
    auto parts = SplitPath(path);
    if (parts.empty()) {
        return {"/", ""};
    }
    std::string name = std::move(parts.back());
    parts.pop_back();
    std::string folder;
    for (const auto& part : parts) {
        folder += "/" + part;
    }
    return {folder.empty() ? "/" : folder, name};
}

std::vector<uint8_t> NewGroup(Storage& storage, uint32_t folder, const std::u16string& name, uint8_t attribute,
                              uint8_t headerFlag, uint32_t size) {
    const ShortNameChoice choice =
        ChooseShortName(name, [&](const ShortName& candidate) { return storage.ShortNameTaken(folder, candidate); });
    std::vector<uint8_t> group;
    if (choice.needsLongName) {
        group = LongNameEntries(name, choice.name);
    }
    uint16_t date = 0;
    uint16_t time = 0;
    PackedNow(date, time);
    auto shortEntry = MakeShortEntry(choice.name, attribute, date, time);
    shortEntry[entry::HeaderFlag] = headerFlag;
    PutLe32(shortEntry.data() + entry::Size, size);
    group.insert(group.end(), shortEntry.begin(), shortEntry.end());
    return group;
}

} // namespace

uint32_t Player::ResolveFolder(const Storage& storage, const std::string& utf8Path) const {
    uint32_t folder = TopFolder;
    for (const auto& part : SplitPath(utf8Path)) {
        const auto slot = storage.FindEntry(folder, Utf8ToUtf16(part));
        if (!slot) {
            return NoFolder;
        }
        const uint8_t* e = storage.FindFolder(folder)->Slot(*slot);
        if (!IsFolderEntry(e) || storage.FindFolder(FirstCluster(e)) == nullptr) {
            return NoFolder;
        }
        folder = FirstCluster(e);
    }
    return folder;
}

void Player::SetSecondStoragePresent(bool present) {
    std::lock_guard lock(mutex_);
    storages_[1].present = present;
}

void Player::SetCapacityUnits(int storageIndex, uint16_t units) {
    std::lock_guard lock(mutex_);
    if (Storage* storage = StorageAt(storageIndex)) {
        storage->capacityUnits = units;
    }
}

bool Player::SecondStoragePresent() const {
    std::lock_guard lock(mutex_);
    return storages_[1].present;
}

uint16_t Player::CapacityUnits(int storageIndex) const {
    std::lock_guard lock(mutex_);
    const Storage* storage = StorageAt(storageIndex);
    return storage != nullptr ? storage->capacityUnits : 0;
}

uint16_t Player::UsedUnits(int storageIndex) const {
    std::lock_guard lock(mutex_);
    const Storage* storage = StorageAt(storageIndex);
    return storage != nullptr ? storage->UsedUnits() : 0;
}

void Player::SetFolderSlotLimit(int storageIndex, uint16_t slots) {
    std::lock_guard lock(mutex_);
    if (Storage* storage = StorageAt(storageIndex)) {
        storage->folderSlotLimit = slots;
    }
}

bool Player::PutFile(int storageIndex, const std::string& utf8Path, const std::vector<uint8_t>& data,
                     uint8_t headerFlag) {
    std::lock_guard lock(mutex_);
    Storage* storage = StorageAt(storageIndex);
    const auto [folderPath, name] = SplitLast(utf8Path);
    if (storage == nullptr || name.empty() || data.size() > 0xFFFFFFFFu) {
        return false;
    }
    const uint32_t folder = ResolveFolder(*storage, folderPath);
    const std::u16string wide = Utf8ToUtf16(name);
    if (folder == NoFolder || storage->FindEntry(folder, wide)) {
        return false;
    }
    auto group = NewGroup(*storage, folder, wide, AttributeArchive, headerFlag, static_cast<uint32_t>(data.size()));
    return storage->AddFile(folder, std::move(group), std::make_shared<const std::vector<uint8_t>>(data)) == 0;
}

bool Player::MakeFolder(int storageIndex, const std::string& utf8Path) {
    std::lock_guard lock(mutex_);
    Storage* storage = StorageAt(storageIndex);
    const auto [folderPath, name] = SplitLast(utf8Path);
    if (storage == nullptr || name.empty()) {
        return false;
    }
    const uint32_t folder = ResolveFolder(*storage, folderPath);
    const std::u16string wide = Utf8ToUtf16(name);
    if (folder == NoFolder || storage->FindEntry(folder, wide)) {
        return false;
    }
    return storage->AddFolder(folder, NewGroup(*storage, folder, wide, AttributeFolder, 0, 0)) == 0;
}

std::optional<std::vector<uint8_t>> Player::FileData(int storageIndex, const std::string& utf8Path) const {
    std::lock_guard lock(mutex_);
    const Storage* storage = StorageAt(storageIndex);
    const auto [folderPath, name] = SplitLast(utf8Path);
    if (storage == nullptr || name.empty()) {
        return std::nullopt;
    }
    const uint32_t folder = ResolveFolder(*storage, folderPath);
    if (folder == NoFolder) {
        return std::nullopt;
    }
    const auto slot = storage->FindEntry(folder, Utf8ToUtf16(name));
    if (!slot) {
        return std::nullopt;
    }
    const uint8_t* e = storage->FindFolder(folder)->Slot(*slot);
    if (IsFolderEntry(e)) {
        return std::nullopt;
    }
    return *storage->DataOf(e);
}

std::vector<DirectoryItem> Player::ListFolder(int storageIndex, const std::string& utf8Path) const {
    std::lock_guard lock(mutex_);
    std::vector<DirectoryItem> items;
    const Storage* storage = StorageAt(storageIndex);
    if (storage == nullptr) {
        return items;
    }
    const uint32_t number = ResolveFolder(*storage, utf8Path);
    const Folder* folder = number == NoFolder ? nullptr : storage->FindFolder(number);
    if (folder == nullptr) {
        return items;
    }
    for (size_t i = 0; i < folder->SlotCount(); ++i) {
        const uint8_t* e = folder->Slot(i);
        if (!IsLiveShortEntry(e)) {
            continue;
        }
        DirectoryItem item;
        item.shortName.assign(reinterpret_cast<const char*>(e), entry::NameLength);
        item.longName = LongNameOf(folder->slots.data(), i);
        item.attribute = e[entry::Attribute];
        item.headerFlag = e[entry::HeaderFlag];
        item.size = EntryFileSize(e);
        item.firstCluster = FirstCluster(e);
        item.writeDate = GetLe16(e + entry::WriteDate);
        item.writeTime = GetLe16(e + entry::WriteTime);
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<uint8_t> Player::RawDirectory(int storageIndex, uint32_t folderNumber) const {
    std::lock_guard lock(mutex_);
    const Storage* storage = StorageAt(storageIndex);
    const Folder* folder = storage != nullptr ? storage->FindFolder(folderNumber) : nullptr;
    return folder != nullptr ? folder->slots : std::vector<uint8_t>{};
}

uint32_t Player::CurrentFolder(int storageIndex) const {
    std::lock_guard lock(mutex_);
    const Storage* storage = StorageAt(storageIndex);
    return storage != nullptr ? storage->Current() : NoFolder;
}

uint32_t Player::FolderNumber(int storageIndex, const std::string& utf8Path) const {
    std::lock_guard lock(mutex_);
    const Storage* storage = StorageAt(storageIndex);
    return storage != nullptr ? ResolveFolder(*storage, utf8Path) : NoFolder;
}

void Player::FormatStorage(int storageIndex) {
    std::lock_guard lock(mutex_);
    if (Storage* storage = StorageAt(storageIndex)) {
        storage->Format();
    }
}

std::string Player::FontName() const {
    std::lock_guard lock(mutex_);
    return fontName_;
}

std::vector<uint8_t> Player::FontData() const {
    std::lock_guard lock(mutex_);
    return fontData_;
}

bool Player::SaveState(const std::string& file) const {
    std::lock_guard lock(mutex_);
    PlayerState state;
    for (size_t i = 0; i < storages_.size(); ++i) {
        state.storages[i].present = storages_[i].present;
        state.storages[i].capacityUnits = storages_[i].capacityUnits;
        state.storages[i].contents = storages_[i].Snapshot();
    }
    state.fontName = fontName_;
    state.fontData = fontData_;
    return WriteStateFile(file, state);
}

bool Player::LoadState(const std::string& file) {
    auto state = ReadStateFile(file);   // read before locking: the file may be large
    if (!state) {
        return false;
    }
    std::lock_guard lock(mutex_);
    std::array<Storage, StorageCount> restored = storages_;
    for (size_t i = 0; i < restored.size(); ++i) {
        restored[i].present = state->storages[i].present;
        restored[i].capacityUnits = state->storages[i].capacityUnits;
        if (!restored[i].Restore(std::move(state->storages[i].contents))) {
            return false;
        }
    }
    storages_ = std::move(restored);
    fontName_ = std::move(state->fontName);
    fontData_ = std::move(state->fontData);
    writePhase_.reset();
    return true;
}

} // namespace kvx512sim

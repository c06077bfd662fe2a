// The player's answers to the storage commands of groups 'M' and 'S' and to
// the font download of group 'U'.
#include "sim/player.h"

#include "sim/file_memory.h"
#include "sim/reply_block.h"

#include <algorithm>
#include <cstring>

namespace kvx512sim {

namespace {

// What a "GG" header leaves to the player: '#', 0, length, ':', result, group.
constexpr size_t HeaderFileCount = 6;
constexpr size_t HeaderEntryCount = 8;
constexpr size_t HeaderTotalUnits = 10;
constexpr size_t HeaderUsedUnits = 12;
constexpr uint16_t NoStorageMark = 0xFFFF;

// "DG": the byte count of the path's entries at 5, the first of them from 7 on.
constexpr size_t PathCountOffset = 5;
constexpr size_t PathFirstBytes = 7;

// Reserve no more than this for data whose size the peer announced.
constexpr size_t ReserveLimit = size_t{64} << 20;

std::vector<uint8_t> ListingHeader(char group, uint8_t result, uint16_t files, uint16_t entries, uint16_t total,
                                   uint16_t used) {
    std::vector<uint8_t> block(BlockSize, 0);
    block[0] = '#';
    block[2] = static_cast<uint8_t>(HeaderUsedUnits + 2 - 3);
    block[3] = ':';
    block[4] = result;
    block[5] = static_cast<uint8_t>(group);
    PutBe16(&block[HeaderFileCount], files);
    PutBe16(&block[HeaderEntryCount], entries);
    PutBe16(&block[HeaderTotalUnits], total);
    PutBe16(&block[HeaderUsedUnits], used);
    return block;
}

uint16_t PayloadNumber(const Command& command) { return GetBe16(command.payload.data()); }

} // namespace

void Player::OnAbsentStorage(const Command& command) {
    if (command.code == "GG") {
        // A listing without a storage: the file count 0xFFFF marks it.
        Reply(ListingHeader(command.group, 1, NoStorageMark, 0, 0, 0));
        return;
    }
    ReplyError(ErrorNoStorage);
    if (command.code == "R") {
        ReplyError(ErrorNoStorage);
    }
}

void Player::OnStorageCommand(Storage& storage, int storageIndex, const Command& command) {
    const std::string& code = command.code;
    const size_t payload = command.payload.size();
    uint8_t result = ErrorBadRequest;
    if (code == "GG") {
        OnListing(storage, command.group);
        return;
    }
    if (code == "W" && command.lengthByte == 2) {
        OnWrite(storage, storageIndex, command);
        return;
    }
    if (code == "R" && payload == 2) {
        OnRead(storage, command);
        return;
    }
    if (code == "R") {
        ReplyError(ErrorBadRequest);
        ReplyError(ErrorBadRequest);
        return;
    }
    if (code == "DG") {
        OnPath(storage);
        return;
    }
    if (code == "FD" || code == "LD") {
        OnFormat(storage);
        return;
    }
    if (code == "E" && payload == 2) {
        result = storage.DeleteFile(storage.Current(), PayloadNumber(command));
    } else if (code == "P" && payload == 4) {
        result = storage.SwapFiles(storage.Current(), GetBe16(&command.payload[0]), GetBe16(&command.payload[2]));
    } else if (code == "DC" && payload == 2) {
        result = storage.ChangeFolder(PayloadNumber(command));
    } else if (code == "DR" && payload == 2) {
        result = storage.RemoveFolder(PayloadNumber(command));
    } else if (code == "DM") {
        result = MakeFolderFromEntries(storage, command.payload);
    } else if (code != "E" && code != "P" && code != "DC" && code != "DR") {
        result = ErrorUnknownCommand;
    }
    if (result == 0) {
        Reply(ShortReply(0, {}));
    } else {
        ReplyError(result);
    }
}

uint8_t Player::MakeFolderFromEntries(Storage& storage, const std::vector<uint8_t>& payload) {
    // The entries end with the first one that is not a long-name entry.
    if (payload.size() < EntrySize || payload.size() % EntrySize != 0) {
        return ErrorBadRequest;
    }
    size_t count = 0;
    while (count * EntrySize < payload.size() && IsLongNameEntry(&payload[count * EntrySize])) {
        ++count;
    }
    if (count * EntrySize == payload.size()) {
        return ErrorBadRequest;
    }
    const uint8_t* shortEntry = &payload[count * EntrySize];
    ++count;
    if (IsFreeSlot(shortEntry) || IsDeleted(shortEntry) || !IsFolderEntry(shortEntry) || IsDotEntry(shortEntry)) {
        return ErrorBadRequest;
    }
    return storage.AddFolder(storage.Current(), {payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(count * EntrySize)});
}

void Player::OnListing(const Storage& storage, char group) {
    const Folder& folder = storage.CurrentFolder();
    std::optional<std::pair<std::vector<uint8_t>, std::vector<uint8_t>>> override;
    std::swap(override, listingOverride_);

    std::vector<uint8_t> header;
    if (override && !override->first.empty()) {
        header = std::move(override->first);
        header.resize(BlockSize, 0);
    } else {
        const size_t files = storage.FileSlots(storage.Current()).size();
        header = ListingHeader(group, 0, static_cast<uint16_t>(std::min<size_t>(files, 0xFFFE)),
                               static_cast<uint16_t>(std::min<size_t>(folder.SlotCount(), 0xFFFF)),
                               storage.capacityUnits, storage.UsedUnits());
    }
    Reply(std::move(header));

    const std::vector<uint8_t>& entries = override ? override->second : folder.slots;
    for (size_t at = 0; at < entries.size(); at += BlockSize) {
        std::vector<uint8_t> block(BlockSize, 0);
        std::copy_n(entries.begin() + static_cast<std::ptrdiff_t>(at), std::min<size_t>(BlockSize, entries.size() - at),
                    block.begin());
        Reply(std::move(block));
    }
}

void Player::OnWrite(Storage& storage, int storageIndex, const Command& command) {
    // The entries come after their byte count + 1 (big-endian): long-name
    // entries, then the short entry, which must be the last.
    const std::vector<uint8_t>& payload = command.payload;
    constexpr size_t first = 2;
    const size_t counted = payload.size() >= first ? GetBe16(&payload[0]) : 0;
    if (counted < EntrySize + 1 || (counted - 1) % EntrySize != 0 || first + counted - 1 > payload.size()) {
        ReplyError(ErrorBadRequest);
        return;
    }
    const size_t count = (counted - 1) / EntrySize;
    const uint8_t* shortEntry = &payload[first + (count - 1) * EntrySize];
    for (size_t i = 0; i + 1 < count; ++i) {
        if (!IsLongNameEntry(&payload[first + i * EntrySize])) {
            ReplyError(ErrorBadRequest);
            return;
        }
    }
    if (IsLongNameEntry(shortEntry) || IsFreeSlot(shortEntry) || IsDeleted(shortEntry) || IsFolderEntry(shortEntry)) {
        ReplyError(ErrorBadRequest);
        return;
    }
    const uint32_t size = EntryFileSize(shortEntry);
    // Room is checked before the name, as the player allocates before it links.
    if (!storage.HasRoomFor(size)) {
        ReplyError(ErrorNoRoom);
        return;
    }
    if (const uint8_t error = storage.CheckNewGroup(storage.Current(), &payload[first], count)) {
        ReplyError(error);
        return;
    }
    Reply(ShortReply(0, {}));
    WritePhase phase;
    phase.storage = storageIndex;
    phase.folder = storage.Current();
    phase.group.assign(payload.begin() + static_cast<std::ptrdiff_t>(first),
                       payload.begin() + static_cast<std::ptrdiff_t>(first + count * EntrySize));
    StartWritePhase(std::move(phase), size);
}

void Player::OnFontWrite(const Command& command) {
    const std::vector<uint8_t>& payload = command.payload;
    if (payload.size() < 4) {
        ReplyError(ErrorBadRequest);
        return;
    }
    const size_t nameLength = payload.size() - 4;
    const uint32_t size = (uint32_t{payload[nameLength]} << 24) | (uint32_t{payload[nameLength + 1]} << 16) |
                          (uint32_t{payload[nameLength + 2]} << 8) | payload[nameLength + 3];
    Reply(ShortReply(0, {}));
    WritePhase phase;
    phase.font = true;
    phase.fontName.assign(payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(nameLength));
    StartWritePhase(std::move(phase), size);
}

void Player::StartWritePhase(WritePhase phase, uint32_t size) {
    phase.size = size;
    phase.data = NewFileMemory(std::min<size_t>(size, ReserveLimit));
    writePhase_ = std::move(phase);
    phaseBytes_ = 0;
    if (size == 0) {
        FinishWrite();
    }
}

void Player::TakeWriteData(const uint8_t* data, uint32_t length) {
    if (!writePhase_) {
        return;
    }
    std::vector<uint8_t>& bytes = *writePhase_->data;
    // Bytes beyond the announced size are the padding of the last transfer.
    const size_t taken = std::min<size_t>(length, writePhase_->size - bytes.size());
    bytes.insert(bytes.end(), data, data + taken);
    if (bytes.size() == writePhase_->size) {
        FinishWrite();
    }
}

void Player::FinishWrite() {
    WritePhase phase = std::move(*writePhase_);
    writePhase_.reset();
    if (phase.font) {
        fontName_ = std::move(phase.fontName);
        fontData_ = std::move(*phase.data);
        return;
    }
    // Strikes the next file only, also when the offset lies beyond it.
    if (corruptNextFileAt_ && *corruptNextFileAt_ < phase.data->size()) {
        (*phase.data)[*corruptNextFileAt_] ^= 0xFF;
    }
    corruptNextFileAt_.reset();
    if (resizeNextFileBy_ != 0 && phase.group.size() >= EntrySize) {
        const int64_t size = std::max<int64_t>(0, static_cast<int64_t>(phase.data->size()) + resizeNextFileBy_);
        phase.data->resize(static_cast<size_t>(size), 0);
        uint8_t* shortEntry = phase.group.data() + phase.group.size() - EntrySize;
        const int64_t announced = static_cast<int64_t>(EntryFileSize(shortEntry)) + resizeNextFileBy_;
        PutLe32(shortEntry + entry::Size, static_cast<uint32_t>(std::max<int64_t>(0, announced)));
    }
    resizeNextFileBy_ = 0;
    // The entries were checked when the write began and nothing but data has
    // reached the player since; a test that changed the folder meanwhile
    // loses the file.
    storages_[static_cast<size_t>(phase.storage)].AddFile(phase.folder, std::move(phase.group), std::move(phase.data));
}

void Player::OnRead(const Storage& storage, const Command& command) {
    const auto files = storage.FileSlots(storage.Current());
    const uint16_t position = PayloadNumber(command);
    if (position >= files.size()) {
        ReplyError(ErrorBadRequest);
        ReplyError(ErrorBadRequest);
        return;
    }
    // Two answer blocks before the data: the size (big-endian), then the
    // file's short entry as stored.
    const uint8_t* shortEntry = storage.CurrentFolder().Slot(files[position]);
    const uint32_t size = EntryFileSize(shortEntry);
    Reply(ShortReply(0, {static_cast<uint8_t>(size >> 24), static_cast<uint8_t>(size >> 16),
                         static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size)}));
    Reply(ShortReply(0, shortEntry, EntrySize));
    FileBytes data = storage.DataOf(shortEntry);
    phaseBytes_ = 0;
    if (!data->empty()) {
        PendingIn item;
        item.stream = std::move(data);
        pendingIn_.push_back(std::move(item));
    }
}

void Player::OnPath(const Storage& storage) {
    const std::vector<uint8_t> entries = storage.PathEntries();
    const auto count = static_cast<uint16_t>(std::min<size_t>(entries.size(), 0xFFFF));
    std::vector<uint8_t> first(BlockSize, 0);
    first[0] = '#';
    first[2] = 4;   // ':', result and the count
    first[3] = ':';
    first[4] = 0;
    PutBe16(&first[PathCountOffset], count);
    const size_t inFirst = std::min<size_t>(entries.size(), BlockSize - PathFirstBytes);
    std::copy_n(entries.begin(), inFirst, first.begin() + PathFirstBytes);
    Reply(std::move(first));
    for (size_t at = inFirst; at < entries.size(); at += BlockSize) {
        std::vector<uint8_t> block(BlockSize, 0);
        std::copy_n(entries.begin() + static_cast<std::ptrdiff_t>(at), std::min<size_t>(BlockSize, entries.size() - at),
                    block.begin());
        Reply(std::move(block));
    }
    Reply(ShortReply(0, {}));
}

void Player::OnFormat(Storage& storage) {
    storage.Format();
    const auto start = Clock::now();
    const auto delay = std::chrono::milliseconds(formatDelayMs_);
    int replies = 0;
    for (int percent = formatStep_; percent < 100; percent += formatStep_) {
        ++replies;
        Reply(ShortReply(0, {static_cast<uint8_t>(percent)}), start + delay * replies);
    }
    Reply(ShortReply(0, {}), start + delay * (replies + 1));
}

Storage* Player::StorageAt(int storageIndex) {
    return storageIndex >= 0 && storageIndex < StorageCount ? &storages_[static_cast<size_t>(storageIndex)] : nullptr;
}

const Storage* Player::StorageAt(int storageIndex) const {
    return storageIndex >= 0 && storageIndex < StorageCount ? &storages_[static_cast<size_t>(storageIndex)] : nullptr;
}

} // namespace kvx512sim

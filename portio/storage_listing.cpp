// "GG": the directory image of a storage's current folder.
#include "portio/directory_entry.h"
#include "portio/file_record.h"
#include "portio/protocol_session.h"
#include "wire/reply_view.h"

#include <vector>

namespace portio {

namespace {

// The header reply: big-endian words after the result byte.
constexpr size_t FileCountAt = 6;
constexpr size_t EntryCountAt = 8;
constexpr size_t TotalUnitsAt = 10;
constexpr size_t UsedUnitsAt = 12;
// A file count the player marks as no listing.
constexpr uint16_t NoListing = 0xFFFF;

constexpr uint32_t UnitSize = 16384;
constexpr uint32_t MaxRecords = 256;
constexpr uint32_t EntriesPerBlock = wire::BlockSize / EntrySize;

bool IsUnusedSlot(const uint8_t* entry) {
    return entry[ShortEntry::Name] == 0 || (entry[0] == 0xFF && entry[1] == 0xFF) ||
           entry[ShortEntry::Name] == DeletedMark;
}

// True when every entry of the long-name group of `parts` entries at `group`
// carries the checksum of `shortEntry`'s name.
bool GroupBelongsTo(const uint8_t* group, uint32_t parts, const uint8_t* shortEntry) {
    const uint8_t checksum = LfnChecksum(shortEntry);
    for (uint32_t part = 0; part < parts; ++part) {
        if (group[size_t{part} * EntrySize + LongEntry::Checksum] != checksum) {
            return false;
        }
    }
    return true;
}

// Records from the image's entries, at most 256; false for an image whose
// long names do not fit. As FAT readers do, a long-name group that runs past
// the image's end (an interrupted write) ends the walk, and one that does not
// belong to the short entry after it is passed over.
bool FillRecords(StorageImage& image, const uint8_t* entries, uint32_t entryCount) {
    uint32_t records = 0;
    uint32_t folders = 0;
    auto fill = [&](const uint8_t* entry, uint16_t longNameFlag) {
        FileRecord& record = image.records[records++];
        FillRecordFromEntry(record, entry);
        record.longNameFlag = longNameFlag;
        if (record.attribute == AttributeFolder) {
            ++folders;
        }
    };
    for (uint32_t i = 0; i < entryCount;) {
        const uint8_t* entry = entries + size_t{i} * EntrySize;
        const uint8_t sequence = entry[LongEntry::Sequence];
        if ((sequence & LongEntry::LastPart) != 0 && sequence != DeletedMark && IsLongNameEntry(entry)) {
            const uint32_t parts = sequence & LongEntry::SequenceMask;
            const uint32_t shortIndex = i + parts;
            if (shortIndex >= entryCount) {
                break;
            }
            const uint8_t* shortEntry = entries + size_t{shortIndex} * EntrySize;
            const bool live = shortEntry[ShortEntry::Name] != 0 && shortEntry[ShortEntry::Name] != DeletedMark;
            if (live && !GroupBelongsTo(entry, parts, shortEntry)) {
                i = shortIndex;
                continue;
            }
            if (live) {
                if (records == MaxRecords) {
                    break;
                }
                fill(shortEntry, 1);
                if (!FillLongName(image.records[records - 1], entry, parts)) {
                    return false;
                }
            }
            i = shortIndex + 1;
            continue;
        }
        if (!IsUnusedSlot(entry)) {
            if (records == MaxRecords) {
                break;
            }
            fill(entry, 0);
        }
        ++i;
    }
    image.folderCount = folders;
    // The player's file count plus the folders found.
    image.entryCount += folders;
    return true;
}

} // namespace

Result ProtocolSession::ReadListing(StorageImage& image, int storage) {
    if (!OpenLinkToReachablePlayer()) {
        return Result::Unreachable;
    }
    // A failed command or header leaves the link as it is.
    if (!link_.SendCommand(current_, wire::FormGroupWord, storage, wire::TwoLetterCode('G', 'G'), nullptr, 0)) {
        return Result::NotSent;
    }
    wire::Block block{};
    const wire::ReplyView header(block);
    // A refusal in place of the header would otherwise be read as a listing
    // of thousands of files.
    if (!link_.ReadReply(current_, block) || header.WordAt(FileCountAt) == NoListing || header.IsRefusal()) {
        return Result::NoReply;
    }
    const uint32_t fileCount = header.WordAt(FileCountAt);
    const uint32_t entryCount = header.WordAt(EntryCountAt);
    const uint32_t totalUnits = header.WordAt(TotalUnitsAt);
    const uint32_t usedUnits = header.WordAt(UsedUnitsAt);
    image.entryCount = fileCount;
    image.totalBytes = totalUnits * UnitSize;
    image.freeBytes = usedUnits <= totalUnits ? (totalUnits - usedUnits) * UnitSize : 0;
    // Firmware without folders has nothing more to send for an empty storage.
    if (!FoldersSupported() && fileCount == 0) {
        CloseCurrentLink();
        return Result::Ok;
    }
    image.imageSize = entryCount * EntrySize;
    const uint32_t blockCount = (entryCount + EntriesPerBlock - 1) / EntriesPerBlock;
    std::vector<uint8_t> entries(size_t{blockCount} * wire::BlockSize);
    for (uint32_t at = 0; at < blockCount; ++at) {
        if (link_.BulkRead(current_, usblink::PipeReplies, entries.data() + size_t{at} * wire::BlockSize,
                           wire::BlockSize) < 0) {
            CloseCurrentLink();
            return Result::NoReply;
        }
    }
    CloseCurrentLink();
    return FillRecords(image, entries.data(), entryCount) ? Result::Ok : Result::Invalid;
}

} // namespace portio

// dll_fn_refresh_device: the directory image of a storage's current folder.
#include "portio.h"
#include "portio/byte_order.h"
#include "portio/directory_entry.h"
#include "portio/file_record.h"
#include "portio/protocol_state.h"

#include <vector>

using namespace portio;

namespace {

constexpr uint32_t UnitSize = 16384;
constexpr uint32_t MaxRecords = 256;
constexpr uint32_t FolderVersion = 0x14300;

// An error reply in place of the header would otherwise be read as a listing
// of thousands of files.
bool IsRefusal(const Block& header) {
    return header[0] == '#' && header[2] == 4 && header[3] == ':' && header[4] == 1 && header[6] == '.';
}

} // namespace

extern "C" PORTIO_API int dll_fn_refresh_device(StorageImage* image, int storage) {
    if (image == nullptr) {
        return 9;
    }
    if (!IsPlayerReachable() || !OpenCurrentLink()) {
        return 2;
    }
    if (!SendCommand(CurrentLink(), FormGroupWord, storage, TwoLetterCode('G', 'G'), nullptr, 0)) {
        return 5;
    }
    Block header{};
    if (!ReadReply(CurrentLink(), header) || (header[6] == 0xFF && header[7] == 0xFF) || IsRefusal(header)) {
        return 3;
    }
    const uint32_t fileCount = LoadBe16(&header[6]);
    const uint32_t entryCount = LoadBe16(&header[8]);
    const uint32_t totalUnits = LoadBe16(&header[10]);
    const uint32_t usedUnits = LoadBe16(&header[12]);
    image->entryCount = fileCount;
    image->totalBytes = totalUnits * UnitSize;
    image->freeBytes = usedUnits <= totalUnits ? (totalUnits - usedUnits) * UnitSize : 0;
    if (FirmwareVersion() < FolderVersion && fileCount == 0) {
        CloseCurrentLink();
        return 0;
    }
    image->imageSize = entryCount * EntrySize;
    const uint32_t blockCount = (entryCount + 15) / 16;
    std::vector<uint8_t> entries(size_t{blockCount} * BlockSize);
    for (uint32_t block = 0; block < blockCount; ++block) {
        if (Link().BulkRead(CurrentLink(), usblink::PipeReplies, entries.data() + size_t{block} * BlockSize,
                            BlockSize) < 0) {
            CloseCurrentLink();
            return 3;
        }
    }
    CloseCurrentLink();

    uint32_t records = 0;
    uint32_t folders = 0;
    auto fill = [&](const uint8_t* entry, uint16_t longNameFlag) {
        FileRecord& record = image->records[records++];
        FillRecordFromEntry(record, entry);
        record.longNameFlag = longNameFlag;
        if (record.attribute == AttributeFolder) {
            ++folders;
        }
    };
    for (uint32_t i = 0; i < entryCount;) {
        const uint8_t* entry = entries.data() + size_t{i} * EntrySize;
        if ((entry[0] & LongEntry::LastPart) != 0 && entry[0] != DeletedMark && IsLongNameEntry(entry)) {
            const uint32_t parts = entry[0] & LongEntry::SequenceMask;
            const uint32_t shortIndex = i + parts;
            if (shortIndex >= entryCount) {
                return 9;
            }
            const uint8_t* shortEntry = entries.data() + size_t{shortIndex} * EntrySize;
            if (shortEntry[0] != 0 && shortEntry[0] != DeletedMark) {
                if (records == MaxRecords) {
                    break;
                }
                fill(shortEntry, 1);
                if (!FillLongName(image->records[records - 1], entry, parts)) {
                    return 9;
                }
            }
            i = shortIndex + 1;
            continue;
        }
        const bool skipped = entry[0] == 0 || (entry[0] == 0xFF && entry[1] == 0xFF) || entry[0] == DeletedMark;
        if (!skipped) {
            if (records == MaxRecords) {
                break;
            }
            fill(entry, 0);
        }
        ++i;
    }
    image->folderCount = folders;
    image->entryCount = fileCount + folders;
    return 0;
}

#include "portio/file_record.h"

#include "platform/text/code_page.h"
#include "portio/directory_entry.h"
#include "wire/byte_order.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace portio {

using wire::LoadLe16;
using wire::LoadLe32;

namespace {

constexpr size_t MaxLongNameBytes = 512;

} // namespace

void FillRecordFromEntry(FileRecord& record, const uint8_t* entry) {
    std::memset(record.baseName, 0, sizeof record.baseName);
    std::memset(record.extension, 0, sizeof record.extension);
    std::memset(record.displayName, 0, sizeof record.displayName);
    std::memcpy(record.baseName, entry + ShortEntry::Name, 8);
    std::memcpy(record.extension, entry + ShortEntry::Extension, 3);
    std::snprintf(record.displayName, sizeof record.displayName, "%s.%s", record.baseName, record.extension);
    record.attribute = entry[ShortEntry::Attribute];
    uint32_t size = LoadLe32(entry + ShortEntry::Size);
    record.headerFlag = 0;
    if (entry[ShortEntry::HeaderFlag] != 0) {
        // Listings report the file without its title-bitmap trailer; a shorter
        // size than the trailer itself cannot be right and is shown as empty.
        size = size >= TrailerSize ? size - TrailerSize : 0;
        record.headerFlag = 1;
    }
    record.size = size;
    const uint16_t date = LoadLe16(entry + ShortEntry::WriteDate);
    const uint16_t time = LoadLe16(entry + ShortEntry::WriteTime);
    record.year = static_cast<uint16_t>(1980 + (date >> 9));
    record.month = static_cast<uint16_t>((date >> 5) & 0x0F);
    record.day = static_cast<uint16_t>(date & 0x1F);
    record.hour = static_cast<uint16_t>(time >> 11);
    record.minute = static_cast<uint16_t>((time >> 5) & 0x3F);
    record.second = static_cast<uint16_t>((time & 0x1F) * 2);
    record.firstCluster = (uint32_t{LoadLe16(entry + ShortEntry::ClusterHigh)} << 16) |
                          LoadLe16(entry + ShortEntry::ClusterLow);
}

bool FillLongName(FileRecord& record, const uint8_t* group, size_t count) {
    std::u16string name;
    bool ended = false;
    // From sequence 1 (just before the short entry) towards the group's first entry.
    for (size_t k = count; k > 0 && !ended; --k) {
        if (name.size() * 2 > MaxLongNameBytes) {
            return false;
        }
        for (uint16_t value : ReadLongNameChars(group + (k - 1) * EntrySize)) {
            if (value == 0) {
                ended = true;
                break;
            }
            name.push_back(static_cast<char16_t>(value));
        }
    }
    std::memset(record.longName, 0, sizeof record.longName);
    // Cut at a character boundary so that the field keeps its terminator.
    std::string text = platform::WideToMultiByte(name.data(), name.size());
    for (size_t keep = name.size(); text.size() >= sizeof record.longName && keep > 0;) {
        --keep;
        text = platform::WideToMultiByte(name.data(), keep);
    }
    std::memcpy(record.longName, text.data(), text.size());
    return true;
}

} // namespace portio

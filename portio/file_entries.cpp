#include "portio/file_entries.h"

#include "platform/system/clock.h"
#include "platform/text/code_page.h"
#include "portio/directory_entry.h"
#include "wire/byte_order.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace portio {

using wire::StoreBe16;
using wire::StoreLe16;
using wire::StoreLe32;

namespace {

constexpr size_t MaxWideName = 512;

bool IsTitledExtension(const char* extension) {
    return std::strcmp(extension, "MP3") == 0 || std::strcmp(extension, "WMA") == 0 ||
           std::strcmp(extension, "ADP") == 0;
}

} // namespace

std::optional<std::vector<uint8_t>> BuildFileWritePayload(const FileRecord& record) {
    FileRecord copy = record;
    copy.extension[sizeof copy.extension - 1] = '\0';
    for (char& c : copy.extension) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    const uint8_t headerFlag = IsTitledExtension(copy.extension) ? 1 : 0;

    // The UTF-16 name with its terminator, B bytes.
    std::u16string wide = platform::MultiByteToWide(copy.longName, strnlen(copy.longName, sizeof copy.longName));
    if (wide.size() >= MaxWideName) {
        wide.resize(MaxWideName - 1);
    }
    wide.push_back(u'\0');
    const size_t nameBytes = wide.size() * 2;
    const size_t parts = (nameBytes + 25) / 26;
    if (parts > MaxFileLongNameEntries) {
        return std::nullopt;
    }

    // Short name: base padded to 8, extension to 3.
    uint8_t shortName[ShortNameSize];
    std::memset(shortName, ' ', sizeof shortName);
    std::memcpy(shortName, copy.baseName, strnlen(copy.baseName, 8));
    std::memcpy(shortName + 8, copy.extension, strnlen(copy.extension, 3));
    // Else the entry would read as a deleted one.
    if (shortName[0] == DeletedMark) {
        shortName[0] = StandInForE5;
    }
    const uint8_t checksum = LfnChecksum(shortName);

    const platform::SystemTime now = platform::GetSystemTime();
    const uint16_t time = PackTime(now);
    const uint16_t date = PackDate(now);

    const size_t entryBytes = (parts + 1) * EntrySize;
    std::vector<uint8_t> payload(2 + entryBytes, 0);
    StoreBe16(payload.data(), static_cast<uint16_t>(entryBytes + 1));
    uint8_t* entries = payload.data() + 2;
    for (size_t j = 0; j < parts; ++j) {
        const size_t part = parts - j;
        std::array<uint16_t, LongEntry::CharsPerEntry> chars{};
        for (size_t slot = 0; slot < chars.size(); ++slot) {
            const size_t index = (part - 1) * LongEntry::CharsPerEntry + slot;
            chars[slot] = index < wide.size() ? static_cast<uint16_t>(wide[index]) : 0xFFFF;
        }
        const auto sequence = static_cast<uint8_t>(part | (j == 0 ? LongEntry::LastPart : 0));
        WriteLongNameEntry(entries + j * EntrySize, sequence, checksum, chars);
    }
    uint8_t* shortEntry = entries + parts * EntrySize;
    std::memcpy(shortEntry, shortName, ShortNameSize);
    shortEntry[ShortEntry::Attribute] = copy.attribute;
    shortEntry[ShortEntry::HeaderFlag] = headerFlag;
    StoreLe16(shortEntry + ShortEntry::CreateTime, time);
    StoreLe16(shortEntry + ShortEntry::CreateDate, date);
    StoreLe16(shortEntry + ShortEntry::AccessDate, date);
    StoreLe16(shortEntry + ShortEntry::WriteTime, time);
    StoreLe16(shortEntry + ShortEntry::WriteDate, date);
    StoreLe32(shortEntry + ShortEntry::Size, copy.size);
    return payload;
}

} // namespace portio

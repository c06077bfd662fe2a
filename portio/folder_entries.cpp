#include "portio/folder_entries.h"

#include "platform/system/clock.h"
#include "platform/text/code_page.h"
#include "portio/directory_entry.h"
#include "portio/short_name.h"
#include "wire/byte_order.h"

#include <cstring>

namespace portio {

using wire::StoreLe16;

std::optional<std::vector<uint8_t>> BuildDirEntries(const std::string& path, bool forceLongName) {
    const platform::SystemTime now = platform::GetLocalTime();
    const size_t separator = path.find_last_of("/:\\");
    const std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
    const auto shortName = BuildShortName(name);
    if (!shortName) {
        return std::nullopt;
    }
    std::u16string wide;
    size_t count = 1;
    if (shortName->longNameNeeded || forceLongName) {
        wide = platform::MultiByteToWide(name.data(), name.size());
        count = (wide.size() + 12) / 13 + 1;
    }
    if (count > MaxFolderEntries) {
        return std::nullopt;
    }
    std::vector<uint8_t> entries(count * EntrySize, 0);

    uint8_t* shortEntry = entries.data() + (count - 1) * EntrySize;
    std::memset(shortEntry, ' ', ShortNameSize);
    const size_t dot = shortName->text.rfind('.');
    const std::string base = shortName->text.substr(0, dot);
    const std::string extension = shortName->text.substr(dot + 1);
    std::memcpy(shortEntry, base.data(), std::min<size_t>(base.size(), 8));
    std::memcpy(shortEntry + ShortEntry::Extension, extension.data(), std::min<size_t>(extension.size(), 3));
    if (shortEntry[0] == DeletedMark) {
        shortEntry[0] = StandInForE5;
    }
    shortEntry[ShortEntry::Attribute] = AttributeArchive;
    shortEntry[ShortEntry::CreateFine] = static_cast<uint8_t>(now.milliseconds / 5);
    const uint16_t time = PackTime(now);
    const uint16_t date = PackDate(now);
    StoreLe16(shortEntry + ShortEntry::CreateTime, time);
    StoreLe16(shortEntry + ShortEntry::CreateDate, date);
    StoreLe16(shortEntry + ShortEntry::AccessDate, date);
    StoreLe16(shortEntry + ShortEntry::WriteTime, time);
    StoreLe16(shortEntry + ShortEntry::WriteDate, date);

    const uint8_t checksum = LfnChecksum(shortEntry);
    const size_t parts = count - 1;
    for (size_t part = 1; part <= parts; ++part) {
        std::array<uint16_t, LongEntry::CharsPerEntry> chars{};
        for (size_t slot = 0; slot < chars.size(); ++slot) {
            const size_t index = (part - 1) * LongEntry::CharsPerEntry + slot;
            chars[slot] = index < wide.size() ? static_cast<uint16_t>(wide[index])
                          : index == wide.size() ? 0x0000
                                                 : 0xFFFF;
        }
        const auto sequence = static_cast<uint8_t>(part | (part == parts ? LongEntry::LastPart : 0));
        WriteLongNameEntry(entries.data() + (parts - part) * EntrySize, sequence, checksum, chars);
    }
    return entries;
}

} // namespace portio

#include "portio/directory_entry.h"

#include "wire/byte_order.h"

namespace portio {

using wire::LoadLe16;
using wire::StoreLe16;

uint8_t LfnChecksum(const uint8_t* shortName) {
    uint8_t sum = 0;
    for (size_t i = 0; i < ShortNameSize; ++i) {
        sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + shortName[i]);
    }
    return sum;
}

uint16_t PackTime(const platform::SystemTime& time) {
    return static_cast<uint16_t>(time.hour * 2048 + time.minute * 32 + time.second / 2);
}

uint16_t PackDate(const platform::SystemTime& time) {
    return static_cast<uint16_t>((time.year - 1980) * 512 + time.month * 32 + time.day);
}

void WriteLongNameEntry(uint8_t* entry, uint8_t sequenceByte, uint8_t checksum,
                        const std::array<uint16_t, LongEntry::CharsPerEntry>& chars) {
    entry[LongEntry::Sequence] = sequenceByte;
    entry[LongEntry::Attribute] = AttributeLongName;
    entry[12] = 0;
    entry[LongEntry::Checksum] = checksum;
    entry[26] = 0;
    entry[27] = 0;
    for (size_t slot = 0; slot < LongEntry::CharsPerEntry; ++slot) {
        StoreLe16(entry + LongEntry::Slots[slot], chars[slot]);
    }
}

std::array<uint16_t, LongEntry::CharsPerEntry> ReadLongNameChars(const uint8_t* entry) {
    std::array<uint16_t, LongEntry::CharsPerEntry> chars{};
    for (size_t slot = 0; slot < LongEntry::CharsPerEntry; ++slot) {
        chars[slot] = LoadLe16(entry + LongEntry::Slots[slot]);
    }
    return chars;
}

bool IsLongNameEntry(const uint8_t* entry) { return entry[LongEntry::Attribute] == AttributeLongName; }

} // namespace portio

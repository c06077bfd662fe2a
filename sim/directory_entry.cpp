#include "sim/directory_entry.h"

#include <algorithm>
#include <cstring>
#include <ctime>

namespace kvx512sim {

namespace {

// Where the 13 UTF-16 characters of a long-name entry sit.
constexpr std::array<size_t, entry::CharsPerEntry> CharOffsets = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};

} // namespace

uint8_t LfnChecksum(const uint8_t* name11) {
    unsigned sum = 0;
    for (size_t i = 0; i < entry::NameLength; ++i) {
        sum = (((sum & 1u) << 7) + (sum >> 1) + name11[i]) & 0xFFu;
    }
    return static_cast<uint8_t>(sum);
}

std::u16string LongNameOf(const uint8_t* slots, size_t shortIndex, size_t* groupStart) {
    if (groupStart != nullptr) {
        *groupStart = shortIndex;
    }
    const uint8_t checksum = LfnChecksum(slots + shortIndex * EntrySize);
    std::u16string name;
    size_t index = shortIndex;
    uint8_t expected = 1;
    while (index > 0) {
        const uint8_t* e = slots + (index - 1) * EntrySize;
        if (!IsLongNameEntry(e) || IsDeleted(e) || e[entry::Checksum] != checksum ||
            (e[entry::Sequence] & 0x3F) != expected) {
            break;
        }
        --index;
        bool ended = false;
        for (size_t offset : CharOffsets) {
            const auto c = static_cast<char16_t>(GetLe16(e + offset));
            if (c == 0 || c == 0xFFFF) {
                ended = true;
                break;
            }
            name.push_back(c);
        }
        if ((e[entry::Sequence] & entry::LastPart) != 0) {
            if (groupStart != nullptr) {
                *groupStart = index;
            }
            return name;
        }
        if (ended) {
            break;   // a part that is not the last one must be full
        }
        ++expected;
    }
    return {};   // no complete group: an orphan, as FAT readers treat it
}

std::vector<uint8_t> LongNameEntries(const std::u16string& name, const ShortName& shortName) {
    const size_t parts = std::max<size_t>(1, (name.size() + entry::CharsPerEntry - 1) / entry::CharsPerEntry);
    std::vector<uint8_t> entries(parts * EntrySize, 0);
    const uint8_t checksum = LfnChecksum(shortName.data());
    for (size_t j = 0; j < parts; ++j) {
        const size_t part = parts - j;   // entry 0 carries the last part
        uint8_t* e = entries.data() + j * EntrySize;
        e[entry::Sequence] = static_cast<uint8_t>(part | (j == 0 ? entry::LastPart : 0));
        e[entry::Attribute] = AttributeLongName;
        e[entry::Checksum] = checksum;
        for (size_t k = 0; k < entry::CharsPerEntry; ++k) {
            const size_t at = (part - 1) * entry::CharsPerEntry + k;
            const char16_t c = at < name.size() ? name[at] : (at == name.size() ? u'\0' : u'\xFFFF');
            PutLe16(e + CharOffsets[k], static_cast<uint16_t>(c));
        }
    }
    return entries;
}

std::string DisplayShortName(const uint8_t* e) {
    std::string text;
    for (size_t i = 0; i < 8 && e[i] != ' '; ++i) {
        text.push_back(static_cast<char>(i == 0 && e[0] == StandInForDeletedMark ? DeletedMark : e[i]));
    }
    if (e[8] != ' ') {
        text.push_back('.');
        for (size_t i = 8; i < 11 && e[i] != ' '; ++i) {
            text.push_back(static_cast<char>(e[i]));
        }
    }
    return text;
}

std::array<uint8_t, EntrySize> MakeShortEntry(const ShortName& name, uint8_t attribute, uint16_t date,
                                              uint16_t time) {
    std::array<uint8_t, EntrySize> e{};
    std::copy(name.begin(), name.end(), e.begin());
    e[entry::Attribute] = attribute;
    PutLe16(e.data() + entry::CreationTime, time);
    PutLe16(e.data() + entry::CreationDate, date);
    PutLe16(e.data() + entry::AccessDate, date);
    PutLe16(e.data() + entry::WriteTime, time);
    PutLe16(e.data() + entry::WriteDate, date);
    return e;
}

void PackedNow(uint16_t& date, uint16_t& time) {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    date = static_cast<uint16_t>(((utc.tm_year + 1900 - 1980) << 9) | ((utc.tm_mon + 1) << 5) | utc.tm_mday);
    time = static_cast<uint16_t>((utc.tm_hour << 11) | (utc.tm_min << 5) | (utc.tm_sec / 2));
}

} // namespace kvx512sim

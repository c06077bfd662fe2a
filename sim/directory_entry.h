// The player's 32-byte directory entries as it keeps them: short entries,
// long-name entries and the few fields the player itself reads or sets.
#pragma once

#include "sim/sim_export.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kvx512sim {

inline constexpr size_t EntrySize = 32;

// Field offsets of a short entry (multi-byte fields little-endian).
namespace entry {
inline constexpr size_t Name = 0;            // 8 bytes base name, 3 bytes extension
inline constexpr size_t NameLength = 11;
inline constexpr size_t Attribute = 11;
inline constexpr size_t HeaderFlag = 12;
inline constexpr size_t CreationFine = 13;
inline constexpr size_t CreationTime = 14;
inline constexpr size_t CreationDate = 16;
inline constexpr size_t AccessDate = 18;
inline constexpr size_t ClusterHigh = 20;
inline constexpr size_t WriteTime = 22;
inline constexpr size_t WriteDate = 24;
inline constexpr size_t ClusterLow = 26;
inline constexpr size_t Size = 28;
// Long-name entries.
inline constexpr size_t Sequence = 0;
inline constexpr size_t Checksum = 13;
inline constexpr uint8_t LastPart = 0x40;
inline constexpr size_t CharsPerEntry = 13;
} // namespace entry

inline constexpr uint8_t AttributeLongName = 0x0F;
inline constexpr uint8_t AttributeFolder = 0x10;
inline constexpr uint8_t AttributeArchive = 0x20;
inline constexpr uint8_t DeletedMark = 0xE5;
// What a name's first byte 0xE5 is kept as, so the entry is not taken for deleted.
inline constexpr uint8_t StandInForDeletedMark = 0x05;

using ShortName = std::array<uint8_t, entry::NameLength>;

inline uint16_t GetLe16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }
inline uint32_t GetLe32(const uint8_t* at) {
    return uint32_t{at[0]} | (uint32_t{at[1]} << 8) | (uint32_t{at[2]} << 16) | (uint32_t{at[3]} << 24);
}
inline void PutLe16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}
inline void PutLe32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}
inline void PutBe16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value >> 8);
    at[1] = static_cast<uint8_t>(value);
}
inline uint16_t GetBe16(const uint8_t* at) { return static_cast<uint16_t>((at[0] << 8) | at[1]); }

// Slot states. A free slot (first byte 0) is never stored; it only pads listings.
inline bool IsFreeSlot(const uint8_t* e) { return e[0] == 0; }
inline bool IsDeleted(const uint8_t* e) { return e[0] == DeletedMark; }
inline bool IsLongNameEntry(const uint8_t* e) { return e[entry::Attribute] == AttributeLongName; }
// A short entry that is in use (neither free, deleted nor a long-name part).
inline bool IsLiveShortEntry(const uint8_t* e) { return !IsFreeSlot(e) && !IsDeleted(e) && !IsLongNameEntry(e); }
inline bool IsFolderEntry(const uint8_t* e) { return (e[entry::Attribute] & AttributeFolder) != 0; }
inline bool IsDotEntry(const uint8_t* e) { return e[0] == '.'; }

inline uint32_t FirstCluster(const uint8_t* e) {
    return (uint32_t{GetLe16(e + entry::ClusterHigh)} << 16) | GetLe16(e + entry::ClusterLow);
}
inline void SetFirstCluster(uint8_t* e, uint32_t cluster) {
    PutLe16(e + entry::ClusterHigh, static_cast<uint16_t>(cluster >> 16));
    PutLe16(e + entry::ClusterLow, static_cast<uint16_t>(cluster));
}
inline uint32_t EntryFileSize(const uint8_t* e) { return GetLe32(e + entry::Size); }

// The checksum a long-name entry carries of its short entry's 11 name bytes.
KVX512SIM_API uint8_t LfnChecksum(const uint8_t* name11);

// The long name of the short entry at `shortIndex` of a run of slots: the live
// long-name entries right before it whose checksum and sequence match, read
// from sequence 1 backwards. Empty when there is none. `groupStart` receives
// the index of the first slot of the group (the short entry itself when empty).
std::u16string LongNameOf(const uint8_t* slots, size_t shortIndex, size_t* groupStart = nullptr);

// Long-name entries for `name`, last part first, with the checksum of
// `shortName`: a 0x0000 terminator when a slot is left, 0xFFFF after it.
KVX512SIM_API std::vector<uint8_t> LongNameEntries(const std::u16string& name, const ShortName& shortName);

// "SONG.MP3" for the name bytes "SONG    MP3"; no dot without an extension.
std::string DisplayShortName(const uint8_t* e);

// A short entry with the given name, attribute and packed write date and time.
std::array<uint8_t, EntrySize> MakeShortEntry(const ShortName& name, uint8_t attribute, uint16_t date,
                                              uint16_t time);

// The current UTC time, packed as entries keep it.
void PackedNow(uint16_t& date, uint16_t& time);

} // namespace kvx512sim

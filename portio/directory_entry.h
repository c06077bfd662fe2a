// The 32-byte directory entries that cross the link, in the well-known FAT
// layout: short entries and the long-name entries placed before them.
#pragma once

#include "platform/system/clock.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace portio {

inline constexpr size_t EntrySize = 32;
using DirEntry = std::array<uint8_t, EntrySize>;

// Offsets of the short entry.
namespace ShortEntry {
inline constexpr size_t Name = 0;            // 8 bytes, then the 3-byte extension
inline constexpr size_t Extension = 8;
inline constexpr size_t Attribute = 11;
inline constexpr size_t HeaderFlag = 12;
inline constexpr size_t CreateFine = 13;
inline constexpr size_t CreateTime = 14;
inline constexpr size_t CreateDate = 16;
inline constexpr size_t AccessDate = 18;
inline constexpr size_t ClusterHigh = 20;
inline constexpr size_t WriteTime = 22;
inline constexpr size_t WriteDate = 24;
inline constexpr size_t ClusterLow = 26;
inline constexpr size_t Size = 28;
static_assert(Size + 4 == EntrySize);
} // namespace ShortEntry

// Offsets of the long-name entry.
namespace LongEntry {
inline constexpr size_t Sequence = 0;
inline constexpr size_t Attribute = 11;
inline constexpr size_t Checksum = 13;
inline constexpr uint8_t LastPart = 0x40;
inline constexpr uint8_t SequenceMask = 0x3F;
inline constexpr size_t CharsPerEntry = 13;
// Byte offsets of the 13 UTF-16 slots.
inline constexpr std::array<size_t, CharsPerEntry> Slots{1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
static_assert(Slots.back() + 2 == EntrySize);
} // namespace LongEntry

inline constexpr uint8_t AttributeLongName = 0x0F;
inline constexpr uint8_t AttributeFolder = 0x10;
inline constexpr uint8_t AttributeArchive = 0x20;
inline constexpr uint8_t DeletedMark = 0xE5;
inline constexpr uint8_t StandInForE5 = 0x05;
inline constexpr size_t ShortNameSize = 11;
// Title-bitmap trailer carried after the data of files with the header flag.
inline constexpr uint32_t TrailerSize = 2080;

uint8_t LfnChecksum(const uint8_t* shortName);

uint16_t PackTime(const platform::SystemTime& time);
uint16_t PackDate(const platform::SystemTime& time);

// Writes part `sequence` (1-based) of `name` into a long-name entry: the 13
// UTF-16 values from `chars` (already laid out with terminator and 0xFFFF fill).
void WriteLongNameEntry(uint8_t* entry, uint8_t sequenceByte, uint8_t checksum,
                        const std::array<uint16_t, LongEntry::CharsPerEntry>& chars);

// The 13 UTF-16 values of a long-name entry, in order.
std::array<uint16_t, LongEntry::CharsPerEntry> ReadLongNameChars(const uint8_t* entry);

bool IsLongNameEntry(const uint8_t* entry);

} // namespace portio

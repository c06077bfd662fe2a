// Filling the caller's FileRecords from the directory image.
#pragma once

#include "portio.h"

#include <cstddef>
#include <cstdint>

namespace portio {

// Fills the record's names, attribute, size, date and cluster from a short
// entry; the long name and its flag are left to the caller.
void FillRecordFromEntry(FileRecord& record, const uint8_t* entry);

// Builds the long name of a group of `count` long-name entries at `group`
// (last part first) into the record. False when the name runs over 512 bytes.
bool FillLongName(FileRecord& record, const uint8_t* group, size_t count);

} // namespace portio

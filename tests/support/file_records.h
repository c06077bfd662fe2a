// FileRecords as a manager program fills them before a write.
#pragma once

#include "portio.h"

#include <cstring>
#include <string>

namespace testsupport {

inline FileRecord MakeRecord(const std::string& longName, const char* base, const char* extension, uint32_t size) {
    FileRecord record{};
    std::strncpy(record.longName, longName.c_str(), sizeof record.longName - 1);
    std::strncpy(record.baseName, base, sizeof record.baseName - 1);
    std::strncpy(record.extension, extension, sizeof record.extension - 1);
    record.attribute = 0x20;
    record.size = size;
    return record;
}

} // namespace testsupport

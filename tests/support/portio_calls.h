// What the portio tests do again and again: test data, a whole upload in the
// pieces manager programs use, and a file's position in a listing.
#pragma once

#include "portio.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

inline std::vector<uint8_t> Pattern(size_t size, uint32_t seed = 1) {
    std::vector<uint8_t> data(size);
    uint32_t state = seed;
    for (auto& byte : data) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(state >> 16);
    }
    return data;
}

// Open, writes of 32,768 bytes, close; the first failing result, else 0.
inline int Upload(const FileRecord& record, const std::vector<uint8_t>& data, int storage = 0) {
    if (const int opened = dll_fn_Open_Writefile(record, storage); opened != 0) {
        return opened;
    }
    for (size_t at = 0; at < data.size(); at += 32768) {
        const auto piece = static_cast<uint32_t>(std::min<size_t>(32768, data.size() - at));
        if (const int written = dll_fn_Write_file(data.data() + at, piece); written != 0) {
            return written;
        }
    }
    return dll_fn_Close_Writefile();
}

// Index among the files (folders not counted) of the record named `name`
// (long or display name), or -1.
inline int FilePosition(const StorageImage& image, const std::string& name) {
    int files = 0;
    const uint32_t count = std::min<uint32_t>(image.entryCount, 256);
    for (uint32_t i = 0; i < count; ++i) {
        const FileRecord& record = image.records[i];
        if ((record.attribute & 0x10) != 0) {
            continue;
        }
        if (name == record.longName || name == record.displayName) {
            return files;
        }
        ++files;
    }
    return -1;
}

} // namespace testsupport

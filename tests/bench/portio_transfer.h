// The 64 MiB file the transfer benchmarks move through libportio.so, and the
// upload and download loops, in pieces of 32,768 bytes as manager programs use.
#pragma once

#include "portio.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace bench {

inline constexpr uint32_t FileSize = 64u << 20;
inline constexpr uint32_t Piece = 32768;

inline const std::vector<uint8_t>& FileData() {
    static const std::vector<uint8_t> data = [] {
        std::vector<uint8_t> bytes(FileSize);
        for (size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<uint8_t>(i * 131 + (i >> 12));
        }
        return bytes;
    }();
    return data;
}

inline bool Upload() {
    FileRecord record{};
    std::strcpy(record.longName, "benchmark.bin");
    std::strcpy(record.baseName, "BENCHM~1");
    std::strcpy(record.extension, "BIN");
    record.attribute = 0x20;
    record.size = FileSize;
    if (dll_fn_Open_Writefile(record, 0) != 0) {
        return false;
    }
    for (uint32_t at = 0; at < FileSize; at += Piece) {
        if (dll_fn_Write_file(FileData().data() + at, Piece) != 0) {
            return false;
        }
    }
    return dll_fn_Close_Writefile() == 0;
}

// Reads the first file of the listing whole into `buffer`, a piece at a time.
inline bool Download(std::vector<uint8_t>& buffer) {
    buffer.resize(Piece);
    FileRecord unused{};
    bool ok = dll_fn_Open_Readfile(unused, 0, 0) == 0;
    for (uint32_t at = 0; ok && at < FileSize; at += Piece) {
        ok = dll_fn_Read_file(buffer.data(), Piece) == 0;
    }
    dll_fn_Close_Readfile();
    return ok;
}

} // namespace bench

// The 64 MiB file the transfer benchmarks move through libportio.so, the
// upload and download loops in pieces of 32,768 bytes as manager programs
// use, and the memcpy of the same bytes every figure is compared with.
#pragma once

#include "portio.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
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

// The file under that long name (and 8-byte base name) in the top folder.
inline bool Upload(const char* longName = "benchmark.bin", const char* baseName = "BENCHM~1") {
    FileRecord record{};
    std::strcpy(record.longName, longName);
    std::strcpy(record.baseName, baseName);
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

// A refresh of the top folder, as a manager program makes before reading.
inline bool Refresh() {
    auto image = std::make_unique<StorageImage>();
    return dll_fn_refresh_device(image.get(), 0) == 0;
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

// The yardstick: the same 64 MiB copied once in memory.
inline void Memcpy64MiB(benchmark::State& state) {
    const auto& data = FileData();
    std::vector<uint8_t> copy(FileSize);
    for (auto _ : state) {
        std::memcpy(copy.data(), data.data(), FileSize);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * FileSize);
}

} // namespace bench

// Upload and download throughput through libportio.so to the simulated player,
// next to a plain memcpy of the same bytes.
#include "portio.h"
#include "sim/bus.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr uint32_t FileSize = 64u << 20;
constexpr uint32_t Piece = 32768;

std::vector<uint8_t>& Data() {
    static std::vector<uint8_t> data = [] {
        std::vector<uint8_t> bytes(FileSize);
        for (size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<uint8_t>(i * 131 + (i >> 12));
        }
        return bytes;
    }();
    return data;
}

void PreparePlayer() {
    auto& bus = kvx512sim::Bus::Instance();
    bus.Reset();
    bus.GetPlayer(0).SetCapacityUnits(0, 16384);
    char version[42];
    dll_fn_get_player_version(version);
}

FileRecord Record() {
    FileRecord record{};
    std::strcpy(record.longName, "benchmark.bin");
    std::strcpy(record.baseName, "BENCHM~1");
    std::strcpy(record.extension, "BIN");
    record.attribute = 0x20;
    record.size = FileSize;
    return record;
}

bool Upload() {
    const auto& data = Data();
    if (dll_fn_Open_Writefile(Record(), 0) != 0) {
        return false;
    }
    for (uint32_t at = 0; at < FileSize; at += Piece) {
        if (dll_fn_Write_file(data.data() + at, Piece) != 0) {
            return false;
        }
    }
    dll_fn_Close_Writefile();
    // The transcript would otherwise keep a copy of every transfer.
    kvx512sim::Bus::Instance().GetPlayer(0).ClearTranscript();
    return true;
}

void BM_Upload64MiB(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        PreparePlayer();
        state.ResumeTiming();
        if (!Upload()) {
            state.SkipWithError("upload failed");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * FileSize);
}

void BM_Download64MiB(benchmark::State& state) {
    PreparePlayer();
    auto image = std::make_unique<StorageImage>();
    if (!Upload() || dll_fn_refresh_device(image.get(), 0) != 0) {
        state.SkipWithError("upload failed");
        return;
    }
    std::vector<uint8_t> buffer(Piece);
    FileRecord unused{};
    for (auto _ : state) {
        bool ok = dll_fn_Open_Readfile(unused, 0, 0) == 0;
        for (uint32_t at = 0; ok && at < FileSize; at += Piece) {
            ok = dll_fn_Read_file(buffer.data(), Piece) == 0;
        }
        dll_fn_Close_Readfile();
        kvx512sim::Bus::Instance().GetPlayer(0).ClearTranscript();
        if (!ok) {
            state.SkipWithError("download failed");
            return;
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * FileSize);
}

void BM_Memcpy64MiB(benchmark::State& state) {
    const auto& data = Data();
    std::vector<uint8_t> copy(FileSize);
    for (auto _ : state) {
        std::memcpy(copy.data(), data.data(), FileSize);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * FileSize);
}

BENCHMARK(BM_Upload64MiB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Download64MiB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Memcpy64MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    // The in-process simulated player, unless the caller points elsewhere.
    setenv("KVX512_USB", "sim", 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

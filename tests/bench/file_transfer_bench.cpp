// Upload and download throughput through libportio.so to the simulated player,
// next to a plain memcpy of the same bytes.
#include "sim/bus.h"
#include "tests/bench/portio_transfer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

void PreparePlayer() {
    auto& bus = kvx512sim::Bus::Instance();
    bus.Reset();
    bus.GetPlayer(0).SetCapacityUnits(0, 16384);
    char version[42];
    dll_fn_get_player_version(version);
}

bool Upload() {
    const bool ok = bench::Upload();
    // The transcript would otherwise keep a copy of every transfer.
    kvx512sim::Bus::Instance().GetPlayer(0).ClearTranscript();
    return ok;
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
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bench::FileSize);
}

void BM_Download64MiB(benchmark::State& state) {
    PreparePlayer();
    auto image = std::make_unique<StorageImage>();
    if (!Upload() || dll_fn_refresh_device(image.get(), 0) != 0) {
        state.SkipWithError("upload failed");
        return;
    }
    std::vector<uint8_t> buffer;
    for (auto _ : state) {
        const bool ok = bench::Download(buffer);
        kvx512sim::Bus::Instance().GetPlayer(0).ClearTranscript();
        if (!ok) {
            state.SkipWithError("download failed");
            return;
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bench::FileSize);
}

void BM_Memcpy64MiB(benchmark::State& state) {
    const auto& data = bench::FileData();
    std::vector<uint8_t> copy(bench::FileSize);
    for (auto _ : state) {
        std::memcpy(copy.data(), data.data(), bench::FileSize);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bench::FileSize);
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

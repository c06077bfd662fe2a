// Upload and download throughput through libportio.so to the simulated player
// in the same process, next to a plain memcpy of the same bytes. Nobody
// watches the player here, so it records no transcript.
#include "sim/bus.h"
#include "tests/bench/portio_transfer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

namespace {

void PreparePlayer() {
    auto& bus = kvx512sim::Bus::Instance();
    bus.Reset();
    bus.GetPlayer(0).SetCapacityUnits(0, 16384);
    char version[42];
    dll_fn_get_player_version(version);
}

void BM_Upload64MiB(benchmark::State& state) {
    // Once untimed, so that the player's storage has its memory (as a device
    // has its flash) and the figure is the transfer's, not the first page faults'.
    PreparePlayer();
    if (!bench::Upload()) {
        state.SkipWithError("upload failed");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        PreparePlayer();
        state.ResumeTiming();
        if (!bench::Upload()) {
            state.SkipWithError("upload failed");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bench::FileSize);
}

void BM_Download64MiB(benchmark::State& state) {
    PreparePlayer();
    if (!bench::Upload() || !bench::Refresh()) {
        state.SkipWithError("upload failed");
        return;
    }
    std::vector<uint8_t> buffer;
    for (auto _ : state) {
        if (!bench::Download(buffer)) {
            state.SkipWithError("download failed");
            return;
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bench::FileSize);
}

void BM_Memcpy64MiB(benchmark::State& state) { bench::Memcpy64MiB(state); }

BENCHMARK(BM_Memcpy64MiB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Upload64MiB)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_Download64MiB)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    // The in-process simulated player, unless the caller points elsewhere.
    setenv("KVX512_USB", "sim", 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

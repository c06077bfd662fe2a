// Upload and download throughput of a 64 MiB file through libportio.so to
// kvx512-sim over USB/IP on loopback. The in-process figure for comparison:
// KVX512_USB=sim file_transfer_bench.
#include "tests/bench/portio_transfer.h"
#include "tests/integration/usbip/sim_server_process.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

const std::vector<std::string> ServerOptions{"--main-size", "256"};

std::unique_ptr<usbiptest::SimServerProcess> server;

// A fresh, empty player: the server started again on the same port.
void FreshPlayer() {
    const uint16_t port = server->Port();
    server.reset();
    server = std::make_unique<usbiptest::SimServerProcess>(ServerOptions, port, false);
    char version[42];
    dll_fn_get_player_version(version);
}

void BM_UsbipUpload64MiB(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        FreshPlayer();
        state.ResumeTiming();
        if (!bench::Upload()) {
            state.SkipWithError("upload failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bench::FileSize);
}

void BM_UsbipDownload64MiB(benchmark::State& state) {
    FreshPlayer();
    auto image = std::make_unique<StorageImage>();
    if (!bench::Upload() || dll_fn_refresh_device(image.get(), 0) != 0) {
        state.SkipWithError("no file to read");
        return;
    }
    std::vector<uint8_t> buffer;
    for (auto _ : state) {
        if (!bench::Download(buffer)) {
            state.SkipWithError("download failed");
            break;
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bench::FileSize);
}

BENCHMARK(BM_UsbipUpload64MiB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_UsbipDownload64MiB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    server = std::make_unique<usbiptest::SimServerProcess>(ServerOptions, 0, false);
    if (!server->Started()) {
        std::fprintf(stderr, "kvx512-sim did not start\n");
        return 1;
    }
    ::setenv("KVX512_USB", server->Url().c_str(), 1);
    dll_fn_SetTimeout(30000, 30000);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    server.reset();
    return 0;
}

// Upload and download throughput of a 64 MiB file through libportio.so to
// kvx512-sim over USB/IP on loopback: to a freshly started server, and to one
// that has just taken a large upload; next to a memcpy of the same bytes.
#include "tests/bench/portio_transfer.h"
#include "tests/integration/usbip/sim_server_process.h"

#include <benchmark/benchmark.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

// kvx512-sim on one port for the whole run, keeping its storage in a file of
// its own, so that it can be started afresh with or without what it stored.
class Server {
public:
    Server() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvx512-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            folder_ = pattern;
        }
    }
    ~Server() {
        process_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    // Stops the running server (saving its storage) and starts a new one,
    // with the storage it saved or an empty one; imports the player.
    bool Restart(bool keepStorage) {
        if (process_) {
            process_->Stop(SIGTERM);
        }
        const std::string state = folder_ + "/storage";
        if (!keepStorage) {
            std::filesystem::remove(state);
        }
        process_ = std::make_unique<usbiptest::SimServerProcess>(
            std::vector<std::string>{"--main-size", "256", "--state-file", state}, port_, false);
        if (!process_->Started()) {
            return false;
        }
        port_ = process_->Port();
        ::setenv("KVX512_USB", process_->Url().c_str(), 1);
        char version[42];
        return dll_fn_get_player_version(version) == 0;
    }

private:
    std::string folder_;
    uint16_t port_ = 0;
    std::unique_ptr<usbiptest::SimServerProcess> process_;
};

Server* server = nullptr;

void Fail(benchmark::State& state, const char* what) { state.SkipWithError(what); }

void BM_UsbipUploadFresh(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        const bool ready = server->Restart(false);
        state.ResumeTiming();
        if (!ready || !bench::Upload()) {
            return Fail(state, "upload failed");
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bench::FileSize);
}

void BM_UsbipUploadAfterUpload(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        const bool ready = server->Restart(false) && bench::Upload("first.bin", "FIRST");
        state.ResumeTiming();
        if (!ready || !bench::Upload("second.bin", "SECOND")) {
            return Fail(state, "upload failed");
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bench::FileSize);
}

// Read back by a server started afresh with the file in its storage.
void BM_UsbipDownloadFresh(benchmark::State& state) {
    if (!server->Restart(false) || !bench::Upload()) {
        return Fail(state, "no file to read");
    }
    std::vector<uint8_t> buffer;
    for (auto _ : state) {
        state.PauseTiming();
        const bool ready = server->Restart(true) && bench::Refresh();
        state.ResumeTiming();
        if (!ready || !bench::Download(buffer)) {
            return Fail(state, "download failed");
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bench::FileSize);
}

void BM_UsbipDownloadAfterUpload(benchmark::State& state) {
    std::vector<uint8_t> buffer;
    for (auto _ : state) {
        state.PauseTiming();
        const bool ready = server->Restart(false) && bench::Upload() && bench::Refresh();
        state.ResumeTiming();
        if (!ready || !bench::Download(buffer)) {
            return Fail(state, "download failed");
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bench::FileSize);
}

void BM_Memcpy64MiB(benchmark::State& state) { bench::Memcpy64MiB(state); }

BENCHMARK(BM_Memcpy64MiB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UsbipUploadFresh)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_UsbipDownloadFresh)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_UsbipUploadAfterUpload)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_UsbipDownloadAfterUpload)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Server running;
    server = &running;
    dll_fn_SetTimeout(30000, 30000);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    server = nullptr;
    return 0;
}

// Upload and download throughput of a 64 MiB file through libportio.so to
// kvx512-sim over USB/IP on loopback. The in-process figure for comparison:
// KVX512_USB=sim file_transfer_bench.
#include "portio.h"
#include "tests/integration/usbip/sim_server_process.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr uint32_t FileSize = 64u << 20;
constexpr uint32_t Piece = 32768;
const std::vector<std::string> ServerOptions{"--main-size", "256"};

std::unique_ptr<usbiptest::SimServerProcess> server;

const std::vector<uint8_t>& Data() {
    static const std::vector<uint8_t> data = [] {
        std::vector<uint8_t> bytes(FileSize);
        for (size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<uint8_t>(i * 131 + (i >> 12));
        }
        return bytes;
    }();
    return data;
}

// A fresh, empty player: the server started again on the same port.
void FreshPlayer() {
    const uint16_t port = server->Port();
    server.reset();
    server = std::make_unique<usbiptest::SimServerProcess>(ServerOptions, port, false);
    char version[42];
    dll_fn_get_player_version(version);
}

bool Upload() {
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
        if (dll_fn_Write_file(Data().data() + at, Piece) != 0) {
            return false;
        }
    }
    return dll_fn_Close_Writefile() == 0;
}

void BM_UsbipUpload64MiB(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        FreshPlayer();
        state.ResumeTiming();
        if (!Upload()) {
            state.SkipWithError("upload failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * FileSize);
}

void BM_UsbipDownload64MiB(benchmark::State& state) {
    FreshPlayer();
    auto image = std::make_unique<StorageImage>();
    if (!Upload() || dll_fn_refresh_device(image.get(), 0) != 0) {
        state.SkipWithError("no file to read");
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
        if (!ok) {
            state.SkipWithError("download failed");
            break;
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * FileSize);
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

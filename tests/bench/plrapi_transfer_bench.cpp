// Upload and download of a 64 MiB MP3 through libplrapi.so to the simulated
// player, next to libportio.so's own figures for the same bytes: what the
// device API adds (8.3 name, title trailer, listing after the upload,
// trailer dropped on the way back).
#include "plrapi.h"
#include "sim/bus.h"
#include "tests/bench/portio_transfer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

class BenchFile : public CPDFileInfo {
public:
    char* GetFileName() override { return name_.data(); }
    char* GetFileExt() override { return extension_.data(); }
    unsigned long GetAttribMark() override { return 0x20; }
    unsigned long GetFileSize() override { return bench::FileSize; }

private:
    std::string name_ = "benchmark";
    std::string extension_ = "mp3";
};

// The transcript would otherwise keep a copy of every transfer; cleared
// after each transfer, as the portio loops are.
void ClearTranscript() { kvx512sim::Bus::Instance().GetPlayer(0).ClearTranscript(); }

// A fresh player with room for the file, and the API open on it with its listing.
CDeviceAPI* PreparePlayer() {
    auto& bus = kvx512sim::Bus::Instance();
    bus.Reset();
    bus.GetPlayer(0).SetCapacityUnits(0, 16384);
    CDeviceAPI* api = CDeviceAPI::OpenDevice();
    CDeviceInfo* device = nullptr;
    CStorageInfo* storage = nullptr;
    if (api == nullptr || api->PlrGetDeviceInfo(device) != 1 || api->PlrGetStorageInfo(0, storage) != 1) {
        return nullptr;
    }
    return api;
}

bool UploadThroughApi(CDeviceAPI& api) {
    BenchFile file;
    if (api.PlrWriteFileStart(0) != 1 || api.PlrWriteFileInfo(&file) != 1) {
        return false;
    }
    auto* data = const_cast<unsigned char*>(bench::FileData().data());
    for (uint32_t at = 0; at < bench::FileSize; at += bench::Piece) {
        if (api.PlrWriteFileBlock(data + at, bench::Piece) != 1) {
            return false;
        }
    }
    const bool closed = api.PlrCloseFile() == 1;
    ClearTranscript();
    return closed;
}

bool DownloadThroughApi(CDeviceAPI& api, std::vector<uint8_t>& buffer) {
    BenchFile file;
    buffer.resize(bench::Piece);
    if (api.PlrReadFileStart(0) != 1 || api.PlrReadFileInfo(&file) != 1) {
        return false;
    }
    bool ok = true;
    for (uint32_t at = 0; ok && at < bench::FileSize; at += bench::Piece) {
        long length = bench::Piece;
        ok = api.PlrReadFileBlock(buffer.data(), &length, 0) == 1 && length == bench::Piece;
    }
    api.PlrCloseReadFile();
    ClearTranscript();
    return ok;
}

void BM_PlrapiUpload64MiB(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<CDeviceAPI> api(PreparePlayer());
        state.ResumeTiming();
        if (!api || !UploadThroughApi(*api)) {
            state.SkipWithError("upload failed");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bench::FileSize);
}

void BM_PortioUpload64MiB(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<CDeviceAPI> api(PreparePlayer());
        state.ResumeTiming();
        const bool ok = bench::Upload();
        ClearTranscript();
        if (!ok) {
            state.SkipWithError("upload failed");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bench::FileSize);
}

void BM_PlrapiDownload64MiB(benchmark::State& state) {
    std::unique_ptr<CDeviceAPI> api(PreparePlayer());
    if (!api || !UploadThroughApi(*api)) {
        state.SkipWithError("upload failed");
        return;
    }
    std::vector<uint8_t> buffer;
    for (auto _ : state) {
        if (!DownloadThroughApi(*api, buffer)) {
            state.SkipWithError("download failed");
            return;
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bench::FileSize);
}

// The same stored file read with portio's exports: 64 MiB of data, the
// trailer left unread.
void BM_PortioDownload64MiB(benchmark::State& state) {
    std::unique_ptr<CDeviceAPI> api(PreparePlayer());
    if (!api || !UploadThroughApi(*api)) {
        state.SkipWithError("upload failed");
        return;
    }
    std::vector<uint8_t> buffer;
    for (auto _ : state) {
        const bool ok = bench::Download(buffer);
        ClearTranscript();
        if (!ok) {
            state.SkipWithError("download failed");
            return;
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bench::FileSize);
}

BENCHMARK(BM_PortioUpload64MiB)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();
BENCHMARK(BM_PlrapiUpload64MiB)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();
BENCHMARK(BM_PortioDownload64MiB)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();
BENCHMARK(BM_PlrapiDownload64MiB)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    // The in-process simulated player, unless the caller points elsewhere.
    setenv("KVX512_USB", "sim", 0);
    // Made before the clock runs.
    bench::FileData();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

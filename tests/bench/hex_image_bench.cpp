// Converting the carried firmware HEX image into its flat image, next to
// binutils' objcopy doing the same with the same file. Both outputs must be
// the same bytes; a benchmark whose output differs reports an error.
#include "updater/engine/hex_image.h"
#include "platform/system/temporary_file.h"
#include "updater/resources/embedded_resources.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct Files {
    std::string hex = platform::CreateTemporaryFile("$512Bhex");
    std::string flat = platform::CreateTemporaryFile("$512Bbin");
    std::string objcopyOut = platform::CreateTemporaryFile("$512Bobj");

    Files() {
        const auto text = updater::resources::FindResource(updater::resources::FirmwareHexResource);
        platform::WriteWholeFile(hex, text.data(), text.size());
    }
    ~Files() {
        std::remove(hex.c_str());
        std::remove(flat.c_str());
        std::remove(objcopyOut.c_str());
    }
};

Files& TheFiles() {
    static Files files;
    return files;
}

Bytes Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The reference: both converters on the same file, compared once.
const Bytes& Reference() {
    static const Bytes bytes = [] {
        Files& files = TheFiles();
        const std::string command = "objcopy -I ihex -O binary '" + files.hex + "' '" + files.objcopyOut + "'";
        if (std::system(command.c_str()) != 0) {
            return Bytes{};
        }
        return Read(files.objcopyOut);
    }();
    return bytes;
}

void BM_ConvertHexImage(benchmark::State& state) {
    Files& files = TheFiles();
    for (auto _ : state) {
        benchmark::DoNotOptimize(updater::ConvertHexImage(files.hex, files.flat, updater::ApplicationBase));
    }
    const Bytes flat = Read(files.flat);
    if (Reference().empty() || flat != Reference()) {
        state.SkipWithError("the flat image differs from objcopy's");
    }
    state.counters["hex_bytes"] = static_cast<double>(updater::resources::FindResource(243).size());
    state.counters["flat_bytes"] = static_cast<double>(flat.size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(updater::resources::FindResource(243).size()));
}
BENCHMARK(BM_ConvertHexImage)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ObjcopyIhexToBinary(benchmark::State& state) {
    Files& files = TheFiles();
    const std::string command = "objcopy -I ihex -O binary '" + files.hex + "' '" + files.objcopyOut + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("objcopy failed");
            break;
        }
    }
    const Bytes out = Read(files.objcopyOut);
    if (out.empty() || out != Reference()) {
        state.SkipWithError("objcopy's output changed");
    }
    state.counters["flat_bytes"] = static_cast<double>(out.size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(updater::resources::FindResource(243).size()));
}
// objcopy runs in a child process: only wall time tells its cost.
BENCHMARK(BM_ObjcopyIhexToBinary)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();

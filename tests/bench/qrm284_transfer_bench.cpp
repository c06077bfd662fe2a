// `qrm284 put` and `qrm284 get` of a file of almost 1 GiB to kvx512-sim over
// USB/IP on loopback, each run as a process of its own so that its peak
// resident memory can be taken, next to the device API moving the same bytes
// over the same transport in a child process of this one.
//
// Counters: MiB_per_s (qrm284), api_MiB_per_s, ratio (qrm284 over the API;
// the target is 0.9 or more) and peak_rss_MiB (qrm284's; the target is below
// 20). The player counts its capacity in 16-bit units of 16 KiB, so the
// largest storage is 1023 MiB: the file is 1022 MiB, or QRM284_BENCH_MIB.
#include "plrapi.h"
#include "tests/bench/child_process.h"
#include "tests/integration/usbip/sim_server_process.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr size_t Piece = 1u << 20;   // the API's blocks, as qrm284 put sends them
constexpr size_t ReadPiece = 32768;  // the API's fastest download request
constexpr const char* StorageMiB = "1023";

uint64_t FileBytes() {
    const char* mib = std::getenv("QRM284_BENCH_MIB");
    return (mib != nullptr ? std::strtoull(mib, nullptr, 10) : 1022) << 20;
}

uint8_t PatternByte(uint64_t i) { return static_cast<uint8_t>(i * 131 + (i >> 12)); }

// Every piece of the file is the same: the pattern repeats each MiB.
const std::vector<uint8_t>& PatternPiece() {
    static const std::vector<uint8_t> piece = [] {
        std::vector<uint8_t> bytes(Piece);
        for (size_t i = 0; i < Piece; ++i) {
            bytes[i] = PatternByte(i);
        }
        return bytes;
    }();
    return piece;
}

// The PC file qrm284 puts, and the device API's side of the same bytes.
class BenchFile : public CPDFileInfo {
public:
    char* GetFileName() override { return name_.data(); }
    char* GetFileExt() override { return extension_.data(); }
    unsigned long GetAttribMark() override { return 0x20; }
    unsigned long GetFileSize() override { return static_cast<unsigned long>(FileBytes()); }

private:
    std::string name_ = "big";
    std::string extension_ = "bin";
};

class Fixture {
public:
    Fixture() {
        std::string pattern = (fs::temp_directory_path() / "qrm284-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            folder_ = pattern;
        }
        // The file on disk, once: 1 MiB of pattern repeated.
        const std::vector<uint8_t>& piece = PatternPiece();
        std::ofstream out(PcFile(), std::ios::binary);
        for (uint64_t at = 0; at < FileBytes(); at += Piece) {
            out.write(reinterpret_cast<const char*>(piece.data()),
                      static_cast<std::streamsize>(std::min<uint64_t>(Piece, FileBytes() - at)));
        }
    }
    ~Fixture() {
        server_.reset();
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    std::string PcFile() const { return folder_ + "/big.bin"; }
    std::string Folder() const { return folder_; }

    // A server started afresh with an empty storage, on the port of the
    // first: this process chooses its transport once.
    bool Restart() {
        server_.reset();
        server_ = std::make_unique<usbiptest::SimServerProcess>(
            std::vector<std::string>{"--main-size", StorageMiB}, port_, false);
        if (!server_->Started()) {
            return false;
        }
        port_ = server_->Port();
        ::setenv("KVX512_USB", server_->Url().c_str(), 1);
        return true;
    }

private:
    std::string folder_;
    uint16_t port_ = 0;
    std::unique_ptr<usbiptest::SimServerProcess> server_;
};

Fixture* fixture = nullptr;

// The API object is the process's one instance: closed, never deleted.
struct CloseApi {
    void operator()(CDeviceAPI* api) const { api->CloseDevice(); }
};
using ApiPointer = std::unique_ptr<CDeviceAPI, CloseApi>;

// The device API opened on the player with its listing, as qrm284 opens it.
ApiPointer OpenApi() {
    ApiPointer api(CDeviceAPI::OpenDevice());
    CDeviceInfo* device = nullptr;
    CStorageInfo* storage = nullptr;
    if (!api || api->PlrGetDeviceInfo(device) != 1 || api->PlrGetStorageInfo(0, storage) != 1) {
        return nullptr;
    }
    return api;
}

bool UploadThroughApi() {
    auto api = OpenApi();
    BenchFile file;
    if (!api || api->PlrWriteFileStart(0) != 1 || api->PlrWriteFileInfo(&file) != 1) {
        return false;
    }
    // A copy of the one piece: the API takes no const.
    std::vector<uint8_t> piece = PatternPiece();
    for (uint64_t at = 0; at < FileBytes(); at += Piece) {
        if (api->PlrWriteFileBlock(piece.data(), static_cast<long>(std::min<uint64_t>(Piece, FileBytes() - at))) != 1) {
            return false;
        }
    }
    return api->PlrCloseFile() == 1;
}

bool DownloadThroughApi() {
    auto api = OpenApi();
    BenchFile file;
    if (!api || api->PlrReadFileStart(0) != 1 || api->PlrReadFileInfo(&file) != 1) {
        return false;
    }
    std::vector<uint8_t> buffer(ReadPiece);
    uint64_t received = 0;
    for (;;) {
        long length = ReadPiece;
        if (api->PlrReadFileBlock(buffer.data(), &length, 0) != 1 || length <= 0) {
            break;
        }
        received += static_cast<uint64_t>(length);
        benchmark::DoNotOptimize(buffer.data());
    }
    api->PlrCloseReadFile();
    return received == FileBytes();
}

// Runs qrm284 with `arguments`; its exit status, its peak resident memory in KiB.
int RunQrm284(std::vector<std::string> arguments, long& maxRssKiB) {
    arguments.insert(arguments.begin(), QRM284_PROGRAM);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    // Its sentences, for a failure (not a terminal: no progress drawn).
    const std::string log = fixture->Folder() + "/qrm284.log";
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return -1;
    }
    const int exitStatus = bench::WaitForChild(pid, &maxRssKiB);
    if (exitStatus != 0) {
        std::ifstream in(log);
        std::fprintf(stderr, "%s", std::string(std::istreambuf_iterator<char>(in), {}).c_str());
    }
    return exitStatus;
}

// Runs `work` in a child process: the player takes one host at a time, and
// this process must not keep it from qrm284. True when the work succeeded.
bool InChild(bool (*work)(), long& maxRssKiB) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(work() ? 0 : 1);
    }
    return bench::WaitForChild(pid, &maxRssKiB) == 0;
}

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

void Report(benchmark::State& state, double seconds, double apiSeconds, long maxRssKiB) {
    const double mib = static_cast<double>(FileBytes()) / (1 << 20);
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["MiB_per_s"] = mib * iterations / seconds;
    state.counters["api_MiB_per_s"] = mib * iterations / apiSeconds;
    state.counters["ratio"] = apiSeconds / seconds;
    state.counters["peak_rss_MiB"] = static_cast<double>(maxRssKiB) / 1024;
}

void BM_Qrm284Put(benchmark::State& state) {
    double seconds = 0;
    double apiSeconds = 0;
    long maxRss = 0;
    for (auto _ : state) {
        if (!fixture->Restart()) {
            return state.SkipWithError("kvx512-sim did not start");
        }
        long apiRss = 0;
        auto start = Clock::now();
        if (!InChild(UploadThroughApi, apiRss)) {
            return state.SkipWithError("upload through the API failed");
        }
        apiSeconds += Seconds(start);
        if (!fixture->Restart()) {
            return state.SkipWithError("kvx512-sim did not start");
        }
        long rss = 0;
        start = Clock::now();
        if (RunQrm284({"put", fixture->PcFile()}, rss) != 0) {
            return state.SkipWithError("qrm284 put failed");
        }
        const double taken = Seconds(start);
        state.SetIterationTime(taken);
        seconds += taken;
        maxRss = std::max(maxRss, rss);
    }
    Report(state, seconds, apiSeconds, maxRss);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FileBytes()));
}

void BM_Qrm284Get(benchmark::State& state) {
    long apiRss = 0;
    if (!fixture->Restart() || !InChild(UploadThroughApi, apiRss)) {
        return state.SkipWithError("no file on the player");
    }
    // The device API's side writes nowhere; qrm284's copy goes to memory
    // (/dev/shm where there is one) so that the figure is qrm284's, not the
    // disk's. QRM284_BENCH_OUT names another folder.
    const char* out = std::getenv("QRM284_BENCH_OUT");
    const std::string folder = out != nullptr ? out : fs::is_directory("/dev/shm") ? "/dev/shm" : fixture->Folder();
    const std::string target = folder + "/qrm284-bench-back.bin";
    double seconds = 0;
    double apiSeconds = 0;
    long maxRss = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        if (!InChild(DownloadThroughApi, apiRss)) {
            return state.SkipWithError("download through the API failed");
        }
        apiSeconds += Seconds(start);
        long rss = 0;
        start = Clock::now();
        const int status = RunQrm284({"get", "big.bin", "-o", target}, rss);
        std::error_code missing;
        if (status != 0 || fs::file_size(target, missing) != FileBytes()) {
            return state.SkipWithError("qrm284 get failed");
        }
        const double taken = Seconds(start);
        state.SetIterationTime(taken);
        seconds += taken;
        maxRss = std::max(maxRss, rss);
        fs::remove(target);
    }
    Report(state, seconds, apiSeconds, maxRss);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FileBytes()));
}

BENCHMARK(BM_Qrm284Put)->Unit(benchmark::kSecond)->Iterations(2)->UseManualTime();
BENCHMARK(BM_Qrm284Get)->Unit(benchmark::kSecond)->Iterations(2)->UseManualTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Fixture made;
    fixture = &made;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fixture = nullptr;
    return 0;
}

// `cp` into and out of `qrm284 mount` against kvx512-sim over USB/IP on
// loopback, next to `qrm284 put` and `qrm284 get` moving the same file over
// the same transport; the mount daemon's peak resident memory; and the
// listing exchanges that `ls -l` of a 200-file folder, twice, costs.
//
// Counters: MiB_per_s (cp through the mount), tool_MiB_per_s (put or get),
// ratio (mount over tool; the target is 0.9 or more), daemon_peak_rss_MiB
// (the target is below 32) and listings (the target is 1). The file is
// 300 MiB, or QRM284_BENCH_MIB.
#include "tests/bench/child_process.h"
#include "tests/integration/usbip/sim_server_process.h"
#include "tests/support/mount_table.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

uint64_t FileBytes() {
    const char* mib = std::getenv("QRM284_BENCH_MIB");
    return (mib != nullptr ? std::strtoull(mib, nullptr, 10) : 300) << 20;
}

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

pid_t Spawn(std::vector<std::string> arguments, const std::string& log) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

class Fixture {
public:
    Fixture() {
        std::string pattern = (fs::temp_directory_path() / "qrm284-mount-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            folder_ = pattern;
        }
        fs::create_directories(Mnt());
        // The mount's cache folder is in memory where there is some, as get's
        // and cp's copies are: the figures are the transfers', not the disk's.
        // QRM284_BENCH_CACHE names another folder.
        const char* cache = std::getenv("QRM284_BENCH_CACHE");
        cache_ = cache != nullptr ? cache : fs::is_directory("/dev/shm") ? "/dev/shm/qrm284-mount-bench-cache" : folder_ + "/cache";
        fs::create_directories(cache_);
        std::vector<char> piece(1 << 20);
        for (size_t i = 0; i < piece.size(); ++i) {
            piece[i] = static_cast<char>(i * 131 + (i >> 12));
        }
        std::ofstream out(PcFile(), std::ios::binary);
        for (uint64_t at = 0; at < FileBytes(); at += piece.size()) {
            out.write(piece.data(), static_cast<std::streamsize>(std::min<uint64_t>(piece.size(), FileBytes() - at)));
        }
    }
    ~Fixture() {
        if (testsupport::Mounted(Mnt())) {
            Run({"fusermount3", "-u", "-z", Mnt()});
        }
        server_.reset();
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
        fs::remove_all(cache_ + "/mount.log", ignored);
    }
    std::string PcFile() const { return folder_ + "/big.bin"; }
    std::string Mnt() const { return folder_ + "/mnt"; }
    std::string Folder() const { return folder_; }
    std::string Log() const { return folder_ + "/run.log"; }
    usbiptest::SimServerProcess& Server() { return *server_; }

    bool Restart(bool verbose = false) {
        server_.reset();
        server_ = std::make_unique<usbiptest::SimServerProcess>(std::vector<std::string>{"--main-size", "1023"}, port_,
                                                                verbose);
        if (!server_->Started()) {
            return false;
        }
        port_ = server_->Port();
        ::setenv("KVX512_USB", server_->Url().c_str(), 1);
        return true;
    }

    int Run(std::vector<std::string> arguments) { return bench::WaitForChild(Spawn(std::move(arguments), Log())); }
    int Qrm284(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), QRM284_PROGRAM);
        return Run(std::move(arguments));
    }

    // The daemon, in the foreground so that its memory can be taken when it ends.
    bool Mount() {
        daemon_ = Spawn({QRM284_PROGRAM, "mount", Mnt(), "--foreground", "--cache-dir", cache_}, Log());
        for (int i = 0; i < 2000 && !testsupport::Mounted(Mnt()); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return testsupport::Mounted(Mnt());
    }
    // Unmounts; the daemon's peak resident memory in KiB, or -1.
    long Unmount() {
        long rss = -1;
        Run({"fusermount3", "-u", Mnt()});
        return bench::WaitForChild(daemon_, &rss) == 0 ? rss : -1;
    }

private:
    std::string folder_;
    std::string cache_;
    uint16_t port_ = 0;
    pid_t daemon_ = -1;
    std::unique_ptr<usbiptest::SimServerProcess> server_;
};

Fixture* fixture = nullptr;

void Report(benchmark::State& state, double seconds, double toolSeconds, long rssKiB) {
    const double mib = static_cast<double>(FileBytes()) / (1 << 20);
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["MiB_per_s"] = mib * iterations / seconds;
    state.counters["tool_MiB_per_s"] = mib * iterations / toolSeconds;
    state.counters["ratio"] = toolSeconds / seconds;
    state.counters["daemon_peak_rss_MiB"] = static_cast<double>(rssKiB) / 1024;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FileBytes()));
}

void BM_MountCopyIn(benchmark::State& state) {
    double seconds = 0;
    double toolSeconds = 0;
    long rss = 0;
    for (auto _ : state) {
        if (!fixture->Restart()) {
            return state.SkipWithError("kvx512-sim did not start");
        }
        auto start = Clock::now();
        if (fixture->Qrm284({"put", fixture->PcFile()}) != 0) {
            return state.SkipWithError("qrm284 put failed");
        }
        toolSeconds += Seconds(start);
        if (!fixture->Restart() || !fixture->Mount()) {
            return state.SkipWithError("not mounted");
        }
        start = Clock::now();
        const int copied = fixture->Run({"cp", fixture->PcFile(), fixture->Mnt() + "/"});
        const double taken = Seconds(start);
        rss = std::max(rss, fixture->Unmount());
        if (copied != 0) {
            return state.SkipWithError("cp into the mount failed");
        }
        state.SetIterationTime(taken);
        seconds += taken;
    }
    Report(state, seconds, toolSeconds, rss);
}

void BM_MountCopyOut(benchmark::State& state) {
    if (!fixture->Restart() || fixture->Qrm284({"put", fixture->PcFile()}) != 0) {
        return state.SkipWithError("no file on the player");
    }
    // Copies go to memory where there is some, so that the figure is not the disk's.
    const std::string folder = fs::is_directory("/dev/shm") ? "/dev/shm" : fixture->Folder();
    const std::string target = folder + "/qrm284-mount-bench-back.bin";
    double seconds = 0;
    double toolSeconds = 0;
    long rss = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        if (fixture->Qrm284({"get", "big.bin", "-o", target}) != 0) {
            return state.SkipWithError("qrm284 get failed");
        }
        toolSeconds += Seconds(start);
        fs::remove(target);
        if (!fixture->Mount()) {
            return state.SkipWithError("not mounted");
        }
        start = Clock::now();
        const int copied = fixture->Run({"cp", fixture->Mnt() + "/big.bin", target});
        const double taken = Seconds(start);
        rss = std::max(rss, fixture->Unmount());
        std::error_code missing;
        if (copied != 0 || fs::file_size(target, missing) != FileBytes()) {
            return state.SkipWithError("cp out of the mount failed");
        }
        fs::remove(target);
        state.SetIterationTime(taken);
        seconds += taken;
    }
    Report(state, seconds, toolSeconds, rss);
}

// Listing commands ("GG") the verbose server has printed so far.
int ListingExchanges() {
    const std::string log = fixture->Server().Log();
    static const std::regex listing("pipe 02 OUT [^:]*: 23 00 [0-9A-F]{2} 3A [0-9A-F]{2} 47");
    return static_cast<int>(std::distance(std::sregex_iterator(log.begin(), log.end(), listing), std::sregex_iterator()));
}

void BM_MountLongListingTwice(benchmark::State& state) {
    if (!fixture->Restart(true)) {
        return state.SkipWithError("kvx512-sim did not start");
    }
    const std::string files = fixture->Folder() + "/files";
    fs::create_directories(files);
    std::vector<std::string> put = {"put"};
    for (int i = 0; i < 200; ++i) {
        const std::string name = files + "/Track " + std::to_string(i) + ".mp3";
        std::ofstream(name) << "track " << i;
        put.push_back(name);
    }
    if (fixture->Qrm284(put) != 0) {
        return state.SkipWithError("qrm284 put failed");
    }
    int listings = 0;
    long rss = 0;
    for (auto _ : state) {
        if (!fixture->Mount()) {
            return state.SkipWithError("not mounted");
        }
        const int before = ListingExchanges();
        const int listed = fixture->Run({"sh", "-c", "ls -l \"$0\" >/dev/null && ls -l \"$0\" >/dev/null", fixture->Mnt()});
        listings = ListingExchanges() - before;
        rss = std::max(rss, fixture->Unmount());
        if (listed != 0) {
            return state.SkipWithError("ls -l failed");
        }
    }
    state.counters["listings"] = listings;
    state.counters["daemon_peak_rss_MiB"] = static_cast<double>(rss) / 1024;
}

BENCHMARK(BM_MountCopyIn)->Unit(benchmark::kSecond)->Iterations(2)->UseManualTime();
BENCHMARK(BM_MountCopyOut)->Unit(benchmark::kSecond)->Iterations(2)->UseManualTime();
BENCHMARK(BM_MountLongListingTwice)->Unit(benchmark::kMillisecond)->Iterations(1);

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

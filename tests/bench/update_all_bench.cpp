// `qrm284 update --all` of 1, 4 and 8 players of one kvx512-sim over USB/IP
// on loopback, with the player's delays of a real update (erase, restart,
// format), each run a fresh server and a fresh program.
//
// Counters: seconds (the whole run), ratio (over the one-player run of the
// same process; the targets are 1.5 for four and 2 for eight), rss_sum_MiB
// (the workers' peak resident sizes added up: pages shared between them
// counted once per worker) and pss_peak_MiB (the most the workers held
// together at one moment, shared pages divided among those sharing them,
// sampled every 50 ms; the target is below 64).
#include "tests/integration/usbip/sim_server_process.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Delays of a real player's update, a little shortened.
const std::vector<std::string> RealDelays{"--erase-delay", "3000", "--restart-pause", "2000", "--reattach-after", "300",
                                          "--format-delay",  "400", "--format-step",   "25"};

double oneSeconds = 0;

std::vector<pid_t> ChildrenOf(pid_t pid) {
    std::vector<pid_t> children;
    std::ifstream file("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
    for (pid_t child = 0; file >> child;) {
        children.push_back(child);
    }
    return children;
}

// Proportional resident size in KiB; 0 once the process is gone.
uint64_t PssKiB(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/smaps_rollup");
    for (std::string line; std::getline(file, line);) {
        if (line.starts_with("Pss:")) {
            return std::stoull(line.substr(4));
        }
    }
    return 0;
}

struct Figures {
    double seconds = 0;
    uint64_t rssSumKiB = 0;
    uint64_t pssPeakKiB = 0;
    int status = -1;
};

Figures UpdateAll(const std::string& url, const std::string& outputPath) {
    Figures figures;
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("KVX512_USB", url.c_str(), 1);
        ::dup2(::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        ::dup2(::open("/dev/null", O_RDONLY), 0);
        ::execl(QRM284_PROGRAM, QRM284_PROGRAM, "update", "--all", "--yes", "--json", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        uint64_t pss = 0;
        for (const pid_t worker : ChildrenOf(pid)) {
            pss += PssKiB(worker);
        }
        figures.pssPeakKiB = std::max(figures.pssPeakKiB, pss);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    figures.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream output(outputPath);
    for (std::string line; std::getline(output, line);) {
        const auto at = line.find("\"peakRssKiB\":");
        if (line.find("\"event\":\"outcome\"") != std::string::npos && at != std::string::npos) {
            figures.rssSumKiB += std::stoull(line.substr(at + 13));
        }
    }
    return figures;
}

void UpdateAllPlayers(benchmark::State& state) {
    const auto players = static_cast<int>(state.range(0));
    const std::string output = (std::filesystem::temp_directory_path() / "update_all_bench.json").string();
    Figures figures;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::string> options{"--players", std::to_string(players)};
        options.insert(options.end(), RealDelays.begin(), RealDelays.end());
        usbiptest::SimServerProcess server(options, 0, false);
        if (!server.Started()) {
            state.SkipWithError("kvx512-sim did not start");
            return;
        }
        state.ResumeTiming();
        figures = UpdateAll(server.Url(), output);
        state.PauseTiming();
        if (figures.status != 0) {
            state.SkipWithError("update --all failed");
            return;
        }
        state.SetIterationTime(figures.seconds);
        state.ResumeTiming();
    }
    if (players == 1) {
        oneSeconds = figures.seconds;
    }
    state.counters["seconds"] = figures.seconds;
    state.counters["ratio"] = oneSeconds > 0 ? figures.seconds / oneSeconds : 0;
    state.counters["rss_sum_MiB"] = static_cast<double>(figures.rssSumKiB) / 1024.0;
    state.counters["pss_peak_MiB"] = static_cast<double>(figures.pssPeakKiB) / 1024.0;
    std::filesystem::remove(output);
}

// One player first: the others are measured against it.
BENCHMARK(UpdateAllPlayers)->Arg(1)->Arg(4)->Arg(8)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();

// --all: one command on every connected player at once. The libraries keep
// one player per process, so each player gets a worker process of its own:
// this program again, narrowed to the player's location with --device and
// speaking JSON lines, which the supervisor reads and merges.
#pragma once

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qrm284 {

// The program's own command line, kept by main for the workers.
void KeepCommandLine(int argc, char** argv);

// The locations of the connected players (not opened: a worker imports its own).
std::vector<std::string> PlayerLocations();

// The worker's arguments after the program name: the command line without
// --all, --jobs and --device, with --json.
std::vector<std::string> WorkerArguments();

struct WorkerOutcome {
    bool started = false;
    int status = -1;          // the exit status, or 128 + the signal that ended it
    std::string lastError;    // the last message it wrote on stderr, without "qrm284: "
    uint64_t peakRssKiB = 0;  // its peak resident memory
};

struct BenchHandlers {
    // A JSON line of the player's worker.
    std::function<void(size_t player, const nlohmann::json& line)> onLine;
    // The worker ended (or, after Ctrl-C, was never started).
    std::function<void(size_t player, const WorkerOutcome& outcome)> onEnd;
    // True while the player's worker may not be interrupted; null: never.
    std::function<bool(size_t player)> busy;
    // Ctrl-C or SIGTERM arrived; called once.
    std::function<void()> onInterrupt;
};

// Runs the arguments once per location, at most `jobs` at a time (0: all at
// once). SIGINT and SIGTERM reach a worker only once busy() lets go of it;
// workers not yet started are not started then. The outcomes in the
// locations' order.
std::vector<WorkerOutcome> RunOnEveryPlayer(const std::vector<std::string>& locations,
                                            const std::vector<std::string>& arguments, unsigned jobs,
                                            const BenchHandlers& handlers);

// The worst of the statuses: the highest, except that 0 loses to any.
int WorstStatus(const std::vector<WorkerOutcome>& outcomes);

// Adds --all and --jobs to the command; true in *all when --all was given.
void AddAllOption(CLI::App* command, bool& all, unsigned& jobs, const char* what);

} // namespace qrm284

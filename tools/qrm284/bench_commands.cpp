// put, info and ls with --all: each player's worker runs the command with
// --json; its lines are passed on with the player's location (--json) or
// gathered into one table with a column or a row per player.
#include "tools/qrm284/bench_commands.h"

#include "tools/qrm284/bench_output.h"
#include "tools/qrm284/bench_supervisor.h"
#include "tools/qrm284/commands.h"

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qrm284 {

namespace {

struct Gathered {
    std::vector<std::string> locations;
    std::vector<std::vector<nlohmann::json>> lines;   // per player
    std::vector<WorkerOutcome> outcomes;
};

// Runs the command line on every player; under --json each line goes out as
// it comes. Step: what a status line shows for a line (empty: no change);
// null: no status lines.
using Step = std::function<std::string(const nlohmann::json& line, int& percent)>;

int Gather(bool json, unsigned jobs, Gathered& gathered, const Step& step) {
    gathered.locations = PlayerLocations();
    if (gathered.locations.empty()) {
        return FailNoPlayer();
    }
    gathered.lines.resize(gathered.locations.size());
    BenchStatusLines status(gathered.locations, json || !step);
    BenchHandlers handlers;
    handlers.onLine = [&](size_t player, const nlohmann::json& line) {
        gathered.lines[player].push_back(line);
        if (json) {
            EmitForPlayer(gathered.locations[player], line);
        }
        int percent = -1;
        if (!step) {
            return;
        }
        if (const std::string shown = step(line, percent); !shown.empty()) {
            status.Set(player, shown, percent);
        }
    };
    handlers.onEnd = [&](size_t player, const WorkerOutcome& outcome) {
        if (step) {
            status.Set(player, outcome.status == 0 ? "done" : "failed", -1);
        }
    };
    gathered.outcomes = RunOnEveryPlayer(gathered.locations, WorkerArguments(), jobs, handlers);
    if (step) {
        status.Finish();
    }
    return WorstStatus(gathered.outcomes);
}

std::string Failure(const WorkerOutcome& outcome) {
    return "failed (" + std::to_string(outcome.status) + ")" +
           (outcome.lastError.empty() ? "" : ": " + outcome.lastError);
}

} // namespace

int RunPutOnEveryPlayer(bool json, unsigned jobs) {
    Gathered gathered;
    const int status = Gather(json, jobs, gathered, [](const nlohmann::json& line, int& percent) -> std::string {
        if (line.value("event", "") != "progress") {
            return {};
        }
        const uint64_t total = line.value("total", uint64_t{0});
        percent = total == 0 ? 100 : static_cast<int>(line.value("done", uint64_t{0}) * 100 / total);
        return line.value("item", "");
    });
    if (json || gathered.locations.empty()) {
        return status;
    }
    std::vector<std::vector<std::string>> table{{"Device", "File", "Name on the player"}};
    for (size_t player = 0; player < gathered.locations.size(); ++player) {
        for (const auto& line : gathered.lines[player]) {
            if (line.value("event", "") == "put" || line.value("event", "") == "would-put") {
                table.push_back({gathered.locations[player], line.value("file", ""),
                                 line.value("shortName", line.value("name", ""))});
            }
        }
        if (gathered.outcomes[player].status != 0) {
            table.push_back({gathered.locations[player], "-", Failure(gathered.outcomes[player])});
        }
    }
    PrintTable(table);
    return status;
}

int RunInfoOnEveryPlayer(bool json, unsigned jobs) {
    Gathered gathered;
    const int status = Gather(json, jobs, gathered, nullptr);
    if (json || gathered.locations.empty()) {
        return status;
    }
    std::vector<std::vector<std::string>> table{{"Device", "Mode", "Firmware", "Model"}};
    for (size_t player = 0; player < gathered.locations.size(); ++player) {
        std::vector<std::string> row{gathered.locations[player], "-", "-", Failure(gathered.outcomes[player])};
        for (const auto& line : gathered.lines[player]) {
            if (line.value("event", "") == "info") {
                row = {gathered.locations[player], line.value("mode", ""), line.value("firmware", ""),
                       line.value("model", "")};
            }
        }
        table.push_back(row);
    }
    PrintTable(table);
    return status;
}

int RunLsOnEveryPlayer(bool json, unsigned jobs) {
    Gathered gathered;
    const int status = Gather(json, jobs, gathered, nullptr);
    if (json || gathered.locations.empty()) {
        return status;
    }
    // One row per name, one column per player: its size there, or "-".
    const size_t players = gathered.locations.size();
    std::vector<std::string> names;
    std::map<std::string, std::vector<std::string>> cells;
    std::vector<std::string> totals(players, "-");
    for (size_t player = 0; player < players; ++player) {
        if (gathered.outcomes[player].status != 0) {
            totals[player] = Failure(gathered.outcomes[player]);
        }
        for (const auto& line : gathered.lines[player]) {
            const std::string event = line.value("event", "");
            if (event == "entry") {
                std::string name = line.value("name", "");
                const bool folder = line.value("folder", false);
                if (folder) {
                    name += "/";
                }
                auto [at, added] = cells.try_emplace(name, players, "-");
                if (added) {
                    names.push_back(name);
                }
                at->second[player] = folder ? "<folder>" : std::to_string(line.value("size", uint64_t{0}));
            } else if (event == "totals") {
                char text[64];
                std::snprintf(text, sizeof text, "%.1f MiB free", line.value("free", 0.0) / 1048576.0);
                totals[player] = text;
            }
        }
    }
    std::vector<std::vector<std::string>> table{{"Name"}};
    for (const std::string& location : gathered.locations) {
        table[0].push_back(location);
    }
    for (const std::string& name : names) {
        table.push_back({name});
        table.back().insert(table.back().end(), cells[name].begin(), cells[name].end());
    }
    table.push_back({""});
    table.back().insert(table.back().end(), totals.begin(), totals.end());
    PrintTable(table);
    return status;
}

} // namespace qrm284

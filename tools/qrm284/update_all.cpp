// qrm284 update --all: every connected player updated at once, each by a
// worker that runs `qrm284 --device LOCATION update --json` and follows its
// player by that location through the restart, the format and the font.
#include "tools/qrm284/bench_commands.h"
#include "tools/qrm284/bench_output.h"
#include "tools/qrm284/bench_supervisor.h"
#include "tools/qrm284/commands.h"
#include "tools/qrm284/json_output.h"
#include "updater/wizard/version_page.h"

#include "platform/usb/usb_driver.h"

#include <algorithm>
#include <cstdio>

namespace qrm284 {

namespace {

struct PlayerRun {
    std::string phase = "waiting";
    int percent = -1;
    std::string running;   // the firmware it ran, as the worker showed it
    // Within the firmware download (set-up to program) or the format and
    // font: Ctrl-C waits, as it does for one player.
    bool busy = false;
};

void Follow(PlayerRun& run, const nlohmann::json& line) {
    const std::string event = line.value("event", "");
    if (event == "versions") {
        run.running = line.value("running", "");
        run.phase = "version read";
    } else if (event == "phase") {
        run.phase = line.value("phase", "");
        run.percent = line.value("counted", false) ? 0 : -1;
        if (run.phase == "set-up" || run.phase == "format") {
            run.busy = true;
        }
    } else if (event == "progress") {
        run.percent = std::clamp(line.value("done", 0), 0, 100);
    } else if (event == "phase-end") {
        const std::string phase = line.value("phase", "");
        if (line.value("outcome", "") != "done" || phase == "program" || phase == "font") {
            run.busy = false;
        }
        if (phase == "program" && line.value("outcome", "") == "done") {
            run.phase = "restarting";
            run.percent = -1;
        }
    }
}

std::string OutcomeText(const WorkerOutcome& outcome, bool gone) {
    if (outcome.status == 0) {
        return std::string("on ") + updater::CarriedVersionText;
    }
    if (!outcome.started || outcome.status == ExitInterrupted) {
        return outcome.lastError.empty() ? "interrupted" : outcome.lastError;
    }
    std::string text = "failed";
    if (gone) {
        text += ", the player is gone from the bus";
    }
    if (!outcome.lastError.empty()) {
        text += ": " + outcome.lastError;
    }
    return text;
}

} // namespace

int RunUpdateOnEveryPlayer(bool json, bool dryRun, unsigned jobs) {
    const auto locations = PlayerLocations();
    if (locations.empty()) {
        return FailNoPlayer();
    }
    std::vector<PlayerRun> runs(locations.size());
    BenchStatusLines lines(locations, json);
    BenchHandlers handlers;
    handlers.onLine = [&](size_t player, const nlohmann::json& line) {
        Follow(runs[player], line);
        if (json) {
            EmitForPlayer(locations[player], line);
        }
        lines.Set(player, runs[player].phase, runs[player].percent);
    };
    handlers.onEnd = [&](size_t player, const WorkerOutcome& outcome) {
        runs[player].busy = false;
        lines.Set(player, outcome.status == 0 ? "done" : "ended", -1);
    };
    handlers.busy = [&](size_t player) { return runs[player].busy; };
    handlers.onInterrupt = [&] {
        const auto held = std::count_if(runs.begin(), runs.end(), [](const PlayerRun& run) { return run.busy; });
        if (held > 0) {
            std::fprintf(stderr,
                         "qrm284: Interrupted; waiting for %zu player(s) to finish a step that cannot be "
                         "interrupted.\n",
                         static_cast<size_t>(held));
        }
    };
    const auto outcomes = RunOnEveryPlayer(locations, WorkerArguments(), jobs, handlers);
    lines.Finish();

    // A player missing from the bus now is one that went away.
    const auto present = PlayerLocations();
    std::vector<std::vector<std::string>> table{{"Device", "Was", "Outcome"}};
    for (size_t player = 0; player < locations.size(); ++player) {
        const bool gone = std::find(present.begin(), present.end(), locations[player]) == present.end();
        const std::string text = dryRun && outcomes[player].status == 0
                                     ? std::string("would be brought to ") + updater::CarriedVersionText
                                     : OutcomeText(outcomes[player], gone);
        if (json) {
            Emit(true,
                 {{"event", "outcome"},
                  {"device", locations[player]},
                  {"status", outcomes[player].status},
                  {"running", runs[player].running},
                  {"gone", gone},
                  {"peakRssKiB", outcomes[player].peakRssKiB},
                  {"text", text}},
                 {});
        } else {
            table.push_back({locations[player], runs[player].running.empty() ? "-" : runs[player].running, text});
        }
    }
    if (!json) {
        PrintTable(table);
    }
    return WorstStatus(outcomes);
}

} // namespace qrm284

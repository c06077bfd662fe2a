// qrm284 format: empties a storage of the player through the device API,
// showing the player's own progress.
#include "tools/qrm284/commands.h"
#include "tools/qrm284/confirm.h"
#include "tools/qrm284/device_session.h"
#include "tools/qrm284/json_output.h"
#include "tools/qrm284/progress_meter.h"
#include "tools/qrm284/transfer_cancel.h"

#include "platform/window/window_messages.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

namespace qrm284 {

namespace {

// Any number will do: the window is ours alone.
constexpr platform::UINT FormatProgressMessage = platform::WM_USER + 1;
// wParam of the messages that carry a percentage (lParam: percentage + 1, 100 at the end).
constexpr platform::WPARAM PercentMessage = 6;

constexpr const char* FormatHeld =
    "qrm284: Ctrl+C is held while the storage is formatted (a storage formatted halfway cannot be used).\n";

struct FormatOptions {
    int storage = 0;
    bool lowLevel = false;
    bool dryRun = false;
    bool yes = false;
    bool json = false;
};

const char* StorageName(int storage) { return storage == 0 ? "main memory" : "memory card"; }

nlohmann::json Event(const char* event, const FormatOptions& options) {
    return {{"event", event}, {"storage", options.storage}, {"lowLevel", options.lowLevel}};
}

int RunFormat(const FormatOptions& options) {
    const std::string what =
        std::string("the ") + StorageName(options.storage) + (options.lowLevel ? " (low-level)" : "");
    if (!options.dryRun) {
        const std::string action = std::string("Formatting the ") + StorageName(options.storage);
        if (int status = RequireYesWithoutTerminal(options.yes, action.c_str()); status != 0) {
            return status;
        }
    }
    DeviceSession session;
    // No listing: a storage whose directory cannot be read is what a format mends.
    if (int status = session.Identify(options.storage); status != 0) {
        return status;
    }
    if (options.dryRun) {
        Emit(options.json, Event("would-format", options), "would format " + what);
        return 0;
    }
    // The device API reports a format's progress only to a window, on this thread.
    ProgressMeter meter("format", StorageName(options.storage), 100, ProgressUnit::Percent, options.json);
    uint64_t percent = 0;
    const platform::HWND window = platform::CreateMessageWindow(
        [&](platform::HWND, platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam) {
            if (message == FormatProgressMessage && wParam == PercentMessage) {
                // The OK reply passes as '.' + 1 just before the 100: keep going forward only.
                const platform::LPARAM shown = lParam >= 100 ? 100 : lParam - 1;
                percent = std::max<uint64_t>(percent, static_cast<uint64_t>(std::max<platform::LPARAM>(shown, 0)));
                meter.Update(percent);
                ObserveBlock(percent);
            }
            return platform::LRESULT{0};
        });
    long formatted = 0;
    {
        // The wizard offers no Cancel during a format either.
        const HoldInterrupts hold;
        HoldInterrupts::Say(FormatHeld);
        formatted = session.Api().PlrFormat(session.Storage(), window, static_cast<int>(FormatProgressMessage),
                                            options.lowLevel);
    }
    platform::DestroyMessageWindow(window);
    meter.Finish();
    if (formatted != 1) {
        std::fprintf(stderr, "qrm284: The player did not format its %s.\n", StorageName(options.storage));
        return ExitRefused;
    }
    Emit(options.json, Event("formatted", options), "formatted " + what);
    return 0;
}

} // namespace

void AddFormatCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<FormatOptions>();
    CLI::App* format = app.add_subcommand("format", "Format a storage of the player: everything on it is lost.");
    format->add_option("--storage", options->storage, "Storage: 0 main memory (default), 1 memory card")
        ->check(CLI::Range(0, 1));
    format->add_flag("--low-level", options->lowLevel, "Format low-level (slower)");
    format->add_flag("--dry-run", options->dryRun, "Say what would be formatted; change nothing");
    format->add_flag("-y,--yes", options->yes, "Format without asking (needed when standard input is not a terminal)");
    format->add_flag("--json", options->json, "One JSON object per line");
    format->callback([options, &exitStatus] {
        exitStatus = RunFormat(*options);
        EmitResult(options->json, "format", exitStatus);
    });
}

} // namespace qrm284

// qrm284 rm: deletes files on the player through the device API.
#include "tools/qrm284/commands.h"
#include "tools/qrm284/confirm.h"
#include "tools/qrm284/device_session.h"
#include "tools/qrm284/json_output.h"
#include "tools/qrm284/terminal_text.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace qrm284 {

namespace {

struct RmOptions {
    std::vector<std::string> names;
    int storage = 0;
    bool dryRun = false;
    bool yes = false;
    bool json = false;
};

int RunRm(const RmOptions& options) {
    if (!options.dryRun) {
        if (int status = RequireYesWithoutTerminal(options.yes, "Deleting files"); status != 0) {
            return status;
        }
    }
    DeviceSession session;
    if (int status = session.Open(options.storage); status != 0) {
        return status;
    }
    for (const std::string& path : options.names) {
        std::vector<ListedEntry> listing;
        const ListedEntry* entry = nullptr;
        if (int status = session.FindFileByPath(path, listing, entry); status != 0) {
            return status;
        }
        if (options.dryRun) {
            Emit(options.json, {{"event", "would-delete"}, {"name", path}}, "would delete " + Printable(path));
            continue;
        }
        if (session.Api().PlrDeleteByindex(session.Storage(), entry->filePosition) != 1) {
            std::fprintf(stderr, "qrm284: The player did not delete \"%s\".\n", Printable(path).c_str());
            return ExitRefused;
        }
        Emit(options.json, {{"event", "deleted"}, {"name", path}}, "deleted " + Printable(path));
    }
    return 0;
}

} // namespace

void AddRmCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<RmOptions>();
    CLI::App* rm = app.add_subcommand("rm", "Delete files on the player.");
    rm->add_option("names", options->names, "Files on the player (\"Song.mp3\", \"/Music/Song.mp3\")")->required();
    rm->add_option("--storage", options->storage, "Storage: 0 main memory (default), 1 memory card")
        ->check(CLI::Range(0, 1));
    rm->add_flag("--dry-run", options->dryRun, "Say what would be deleted; change nothing");
    rm->add_flag("-y,--yes", options->yes, "Delete without asking (needed when standard input is not a terminal)");
    rm->add_flag("--json", options->json, "One JSON object per line");
    rm->callback([options, &exitStatus] {
        exitStatus = RunRm(*options);
        EmitResult(options->json, "rm", exitStatus);
    });
}

} // namespace qrm284

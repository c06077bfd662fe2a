// qrm284 mkdir and rmdir: folders on the player through the device API.
#include "tools/qrm284/commands.h"
#include "tools/qrm284/device_session.h"
#include "tools/qrm284/json_output.h"
#include "tools/qrm284/player_names.h"
#include "tools/qrm284/terminal_text.h"

#include <cstdio>
#include <memory>
#include <string>

namespace qrm284 {

namespace {

struct FolderOptions {
    std::string path;
    int storage = 0;
    bool dryRun = false;
    bool json = false;
};

int RunFolder(const FolderOptions& options, bool create) {
    const auto parts = SplitPath(options.path);
    if (parts.empty()) {
        Fail("Name a folder below the top level.");
        return ExitUsage;
    }
    // Before the player is asked: such a name would reach it as another one.
    for (const std::string& part : parts) {
        if (const std::string problem = FolderNameProblem(part); !problem.empty()) {
            Fail(problem.c_str());
            return ExitUsage;
        }
    }
    DeviceSession session;
    if (int status = session.Open(options.storage); status != 0) {
        return status;
    }
    std::string parent = "/";
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        parent += parts[i] + "/";
    }
    if (int status = session.EnterFolder(parent); status != 0) {
        return status;
    }
    const std::string& name = parts.back();
    bool exists = false;
    for (const ListedEntry& entry : session.Listing()) {
        exists = exists || (entry.folder && entry.name == name);
    }
    if (create == exists) {
        std::fprintf(stderr, create ? "qrm284: There is already a folder \"%s\" on the player.\n"
                                    : "qrm284: There is no folder \"%s\" on the player.\n",
                     Printable(options.path).c_str());
        return ExitFailure;
    }
    const char* verb = create ? "create" : "remove";
    if (options.dryRun) {
        Emit(options.json, {{"event", std::string("would-") + verb + "-folder"}, {"path", options.path}},
             std::string("would ") + verb + " folder " + Printable(options.path));
        return 0;
    }
    CDeviceAPI& api = session.Api();
    const long done = create ? api.PlrCreateDirectory(session.Storage(), name.c_str(), 0)
                             : api.PlrRemoveDirectory(session.Storage(), name.c_str());
    if (done != 1) {
        std::fprintf(stderr, "qrm284: The player did not %s folder \"%s\"%s.\n", verb, Printable(options.path).c_str(),
                     create ? "" : " (is it empty?)");
        return ExitRefused;
    }
    const std::string doneWord = create ? "created" : "removed";
    Emit(options.json, {{"event", doneWord + "-folder"}, {"path", options.path}}, doneWord + " folder " + Printable(options.path));
    return 0;
}

void AddFolderCommand(CLI::App& app, int& exitStatus, bool create) {
    auto options = std::make_shared<FolderOptions>();
    CLI::App* command = app.add_subcommand(create ? "mkdir" : "rmdir",
                                           create ? "Create a folder on the player." : "Remove an empty folder of the player.");
    command->add_option("path", options->path, "Folder, from the top of the storage (\"/Music/Live\")")->required();
    command->add_option("--storage", options->storage, "Storage: 0 main memory (default), 1 memory card")
        ->check(CLI::Range(0, 1));
    command->add_flag("--dry-run", options->dryRun, "Say what would be done; change nothing");
    command->add_flag("--json", options->json, "One JSON object per line");
    command->callback([options, &exitStatus, create] {
        exitStatus = RunFolder(*options, create);
        EmitResult(options->json, create ? "mkdir" : "rmdir", exitStatus);
    });
}

} // namespace

void AddFolderCommands(CLI::App& app, int& exitStatus) {
    AddFolderCommand(app, exitStatus, true);
    AddFolderCommand(app, exitStatus, false);
}

} // namespace qrm284

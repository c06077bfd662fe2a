// qrm284 order: moves a file within the player's play order.
#include "tools/qrm284/commands.h"
#include "tools/qrm284/device_session.h"
#include "tools/qrm284/json_output.h"
#include "tools/qrm284/terminal_text.h"

#include <cstdio>
#include <memory>
#include <string>

namespace qrm284 {

namespace {

struct OrderOptions {
    std::string name;
    int position = 1;
    int storage = 0;
    bool dryRun = false;
    bool json = false;
};

int RunOrder(const OrderOptions& options) {
    DeviceSession session;
    if (int status = session.Open(options.storage); status != 0) {
        return status;
    }
    const auto slash = options.name.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "/" : options.name.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? options.name : options.name.substr(slash + 1);
    if (int status = session.EnterFolder(folder); status != 0) {
        return status;
    }
    const auto listing = session.Listing();
    const ListedEntry* entry = session.FindFile(listing, name);
    if (entry == nullptr) {
        std::fprintf(stderr, "qrm284: There is no file \"%s\" on the player.\n", Printable(options.name).c_str());
        return ExitFailure;
    }
    // POSITION counts files from 1; the API counts folders too, wherever they stand.
    const ListedEntry* target = nullptr;
    for (const ListedEntry& candidate : listing) {
        if (candidate.filePosition == options.position - 1) {
            target = &candidate;
        }
    }
    if (target == nullptr) {
        std::fprintf(stderr, "qrm284: The folder holds fewer than %d files.\n", options.position);
        return ExitUsage;
    }
    if (options.dryRun) {
        Emit(options.json, {{"event", "would-move"}, {"name", options.name}, {"position", options.position}},
             "would move " + Printable(options.name) + " to position " + std::to_string(options.position));
        return 0;
    }
    if (session.Api().PlrSortByIndex(entry->position, target->position) != 1) {
        std::fprintf(stderr, "qrm284: The player did not move \"%s\".\n", Printable(options.name).c_str());
        return ExitRefused;
    }
    Emit(options.json, {{"event", "moved"}, {"name", options.name}, {"position", options.position}},
         "moved " + Printable(options.name) + " to position " + std::to_string(options.position));
    return 0;
}

} // namespace

void AddOrderCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<OrderOptions>();
    CLI::App* order = app.add_subcommand("order", "Move a file to another place in the player's play order.");
    order->add_option("name", options->name, "File on the player (\"Song.mp3\", \"/Music/Song.mp3\")")->required();
    order->add_option("position", options->position, "Its new place among the folder's files, from 1")
        ->required()
        ->check(CLI::Range(1, 256));
    order->add_option("--storage", options->storage, "Storage: 0 main memory (default), 1 memory card")
        ->check(CLI::Range(0, 1));
    order->add_flag("--dry-run", options->dryRun, "Say what would be moved; change nothing");
    order->add_flag("--json", options->json, "One JSON object per line");
    order->callback([options, &exitStatus] {
        exitStatus = RunOrder(*options);
        EmitResult(options->json, "order", exitStatus);
    });
}

} // namespace qrm284

// qrm284 ls: the files and folders of a storage, as a person wants to read them.
#include "tools/qrm284/commands.h"
#include "tools/qrm284/json_output.h"
#include "tools/qrm284/player_session.h"
#include "tools/qrm284/terminal_text.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

namespace qrm284 {

namespace {

struct LsOptions {
    int storage = 0;
    std::string path = "/";
    bool json = false;
};

std::string Megabytes(uint32_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", bytes / 1048576.0);
    return text;
}

int RunLs(const LsOptions& options) {
    if (auto failure = ConnectToPlayer(); !failure.empty()) {
        return failure == NoPlayerConnected ? FailNoPlayer() : Fail(failure, ExitNoPlayer);
    }
    auto image = NewStorageImage();
    if (auto failure = ListFolder(options.storage, options.path, *image); !failure.empty()) {
        return Fail(failure.c_str());
    }
    const uint32_t count = std::min<uint32_t>(image->entryCount, 256);
    uint32_t files = 0;
    uint32_t folders = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const FileRecord& record = image->records[i];
        const std::string name = RecordName(record);
        if (name == "." || name == "..") {
            continue;
        }
        const bool folder = (record.attribute & 0x10) != 0;
        folder ? ++folders : ++files;
        char date[64];
        std::snprintf(date, sizeof date, "%04u-%02u-%02u %02u:%02u", record.year, record.month, record.day, record.hour,
                      record.minute);
        if (options.json) {
            nlohmann::json entry{{"event", "entry"}, {"name", name}, {"folder", folder}, {"date", date}};
            if (!folder) {
                entry["size"] = record.size;
            }
            Emit(true, entry, {});
            continue;
        }
        char size[24];
        if (folder) {
            std::snprintf(size, sizeof size, "%12s", "<folder>");
        } else {
            std::snprintf(size, sizeof size, "%12u", record.size);
        }
        std::printf("%s  %s  %s%s\n", size, date, Printable(name).c_str(), folder ? "/" : "");
    }
    if (options.json) {
        Emit(true,
             {{"event", "totals"},
              {"files", files},
              {"folders", folders},
              {"capacity", image->totalBytes},
              {"free", image->freeBytes}},
             {});
        return 0;
    }
    std::printf("%u file%s, %u folder%s; capacity %s, free %s\n", files, files == 1 ? "" : "s", folders,
                folders == 1 ? "" : "s", Megabytes(image->totalBytes).c_str(), Megabytes(image->freeBytes).c_str());
    return 0;
}

} // namespace

void AddLsCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<LsOptions>();
    CLI::App* ls = app.add_subcommand("ls", "List the files and folders of a storage of the player.");
    ls->add_option("--storage", options->storage, "Storage: 0 main memory (default), 1 memory card")
        ->check(CLI::Range(0, 1));
    ls->add_option("path", options->path, "Folder to list, from the top of the storage (default /)");
    ls->add_flag("--json", options->json, "One JSON object per line");
    ls->callback([options, &exitStatus] {
        exitStatus = RunLs(*options);
        EmitResult(options->json, "ls", exitStatus);
    });
}

} // namespace qrm284

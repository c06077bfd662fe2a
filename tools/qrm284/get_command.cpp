// qrm284 get: downloads files through the device API (music without the
// title trailer, voice recordings as WAV).
#include "tools/qrm284/commands.h"
#include "tools/qrm284/confirm.h"
#include "tools/qrm284/device_session.h"
#include "tools/qrm284/file_writer_thread.h"
#include "tools/qrm284/json_output.h"
#include "tools/qrm284/player_file_reader.h"
#include "tools/qrm284/progress_meter.h"
#include "tools/qrm284/terminal_text.h"
#include "tools/qrm284/transfer_cancel.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <strings.h>
#include <vector>

namespace qrm284 {

namespace {

struct GetOptions {
    std::vector<std::string> names;
    std::string output;
    int storage = 0;
    bool force = false;
    bool json = false;
};

std::string LocalPath(const GetOptions& options, const ListedEntry& entry) {
    std::string name = entry.name + (strcasecmp(entry.extension.c_str(), "ADP") == 0 ? ".wav"
                                     : entry.extension.empty()                      ? ""
                                                                                    : "." + entry.extension);
    if (options.output.empty()) {
        return name;
    }
    if (std::filesystem::is_directory(options.output)) {
        return (std::filesystem::path(options.output) / name).string();
    }
    return options.output;
}

// A file of this computer is replaced only with --force or a person's yes.
int MayWrite(const std::string& target, bool force) {
    std::error_code ignored;
    if (force || !std::filesystem::exists(target, ignored)) {
        return 0;
    }
    const std::string shown = "\"" + Printable(target) + "\"";
    if (!PersonCanAnswer()) {
        return Fail(shown + " is already here; add --force to replace it.");
    }
    if (AskPerson(shown + " is already here. Replace it?")) {
        return 0;
    }
    return Fail("Nothing was copied; " + shown + " is as it was.");
}

int Download(DeviceSession& session, const ListedEntry& entry, const std::string& target, bool json) {
    PlayerFileReader reader(session.Api());
    if (!reader.Open(session.Storage(), entry.name, entry.extension, entry.size)) {
        std::fprintf(stderr, "qrm284: The player did not open \"%s\".\n", Printable(FullName(entry)).c_str());
        return ExitRefused;
    }
    const std::string partial = target + ".part";
    // Written by a thread of its own: a write per piece in this one would
    // hold up the next request, costing up to a third of the rate.
    FileWriterThread out(partial);
    if (!out.Good()) {
        reader.Close();
        // The .part file is ours; the person named the target.
        std::fprintf(stderr, "qrm284: Cannot write \"%s\": %s.\n", Printable(target).c_str(),
                     std::strerror(out.OpenError()));
        return ExitFailure;
    }
    // Progress counts the file as the player holds it; what arrives differs by
    // the title trailer (music) or the block form (voice), so the end is "all".
    ProgressMeter meter("get", FullName(entry), entry.size, ProgressUnit::Bytes, json && entry.size > ProgressFloor);
    // Every way out but success: the player stops sending, nothing is left here.
    const auto abandon = [&](int status, const std::string& sentence) {
        reader.Close();
        out.Close();
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        meter.Finish();
        std::fprintf(stderr, "qrm284: %s\n", sentence.c_str());
        return status;
    };
    const std::string shown = "\"" + Printable(FullName(entry)) + "\"";
    const std::string cannotWrite = "Cannot write \"" + Printable(target) + "\".";
    unsigned long long received = 0;
    for (;;) {
        if (CancelRequested()) {
            return abandon(ExitInterrupted, "Cancelled; " + shown + " was not copied.");
        }
        if (out.Failed()) {
            return abandon(ExitFailure, cannotWrite);   // the disk is full or gone: no use reading on
        }
        const std::optional<size_t> length = reader.Next(out.Space(PlayerFileReader::PieceCapacity));
        if (!length) {
            return abandon(ExitFailure, "Reading " + shown + " from the player failed.");
        }
        if (*length == 0) {
            break;
        }
        out.Commit(*length);
        received += *length;
        meter.Update(std::min<unsigned long long>(received, entry.size));
        ObserveBlock(received);
    }
    reader.Close();
    if (!out.Close()) {
        return abandon(ExitFailure, cannotWrite);
    }
    std::error_code renameFailed;
    std::filesystem::rename(partial, target, renameFailed);
    if (renameFailed) {
        return abandon(ExitFailure, cannotWrite);
    }
    meter.Update(entry.size);
    meter.Finish();
    Emit(json, {{"event", "got"}, {"name", FullName(entry)}, {"path", target}, {"bytes", received}},
         Printable(FullName(entry)) + " -> " + Printable(target) + " (" + std::to_string(received) + " bytes)");
    return 0;
}

int RunGet(const GetOptions& options) {
    if (options.names.size() > 1 && !options.output.empty() && !std::filesystem::is_directory(options.output)) {
        Fail("With several files, -o must name a folder.");
        return ExitUsage;
    }
    // The copy is written beside its target and renamed over it: a device or
    // pipe named by -o would be replaced by a plain file.
    std::error_code ignored;
    const auto kind = std::filesystem::status(options.output, ignored).type();
    if (!options.output.empty() && kind != std::filesystem::file_type::not_found &&
        kind != std::filesystem::file_type::regular && kind != std::filesystem::file_type::directory) {
        Fail(("\"" + Printable(options.output) + "\" is neither a file nor a folder; -o takes one of those.").c_str());
        return ExitUsage;
    }
    DeviceSession session;
    if (int status = session.Open(options.storage); status != 0) {
        return status;
    }
    const CancelOnInterrupt interrupts;
    for (const std::string& path : options.names) {
        std::vector<ListedEntry> listing;
        const ListedEntry* entry = nullptr;
        if (int status = session.FindFileByPath(path, listing, entry); status != 0) {
            return status;
        }
        const std::string target = LocalPath(options, *entry);
        if (int status = MayWrite(target, options.force); status != 0) {
            return status;
        }
        if (int status = Download(session, *entry, target, options.json); status != 0) {
            return status;
        }
    }
    return 0;
}

} // namespace

void AddGetCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<GetOptions>();
    CLI::App* get = app.add_subcommand("get", "Copy files from the player to this computer.");
    get->add_option("names", options->names, "Files on the player (\"Song.mp3\", \"/Music/Song.mp3\")")->required();
    get->add_option("-o,--output", options->output, "File to write, or folder for several (default: here)");
    get->add_option("--storage", options->storage, "Storage: 0 main memory (default), 1 memory card")
        ->check(CLI::Range(0, 1));
    get->add_flag("-f,--force", options->force,
                  "Replace files of the same name here without asking (a copy replaces one only once it is whole)");
    get->add_flag("--json", options->json, "One JSON object per line");
    get->callback([options, &exitStatus] {
        exitStatus = RunGet(*options);
        EmitResult(options->json, "get", exitStatus);
    });
}

} // namespace qrm284

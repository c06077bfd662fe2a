// qrm284 get: downloads files through the device API (music without the
// title trailer, voice recordings as WAV).
#include "tools/qrm284/commands.h"
#include "tools/qrm284/device_session.h"
#include "tools/qrm284/json_output.h"
#include "tools/qrm284/pc_file_info.h"
#include "tools/qrm284/terminal_text.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
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
    bool json = false;
};

constexpr long PieceBytes = 32768;
// A voice piece may grow by a block, and the first by the WAV header.
constexpr size_t BufferBytes = PieceBytes + 256 + 48;

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

int Download(DeviceSession& session, const ListedEntry& entry, const std::string& target, bool json) {
    CDeviceAPI& api = session.Api();
    PcFileInfo info(entry.name, entry.extension, entry.size);
    if (api.PlrReadFileStart(session.Storage()) != 1 || api.PlrReadFileInfo(&info) != 1) {
        std::fprintf(stderr, "qrm284: The player did not open \"%s\".\n", Printable(FullName(entry)).c_str());
        return ExitRefused;
    }
    const std::string partial = target + ".part";
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    if (!out) {
        api.PlrCloseReadFile();
        std::fprintf(stderr, "qrm284: Cannot write \"%s\".\n", Printable(partial).c_str());
        return ExitFailure;
    }
    std::vector<uint8_t> buffer(BufferBytes);
    unsigned long long received = 0;
    for (;;) {
        long length = PieceBytes;
        const long before = api.PlrGetLastError();
        if (api.PlrReadFileBlock(buffer.data(), &length, 0) != 1) {
            // After the piece that reached the end the call fails without a code.
            if (api.PlrGetLastError() == 10 && (before != 10 || received == 0)) {
                out.close();
                std::filesystem::remove(partial);
                std::fprintf(stderr, "qrm284: Reading \"%s\" from the player failed.\n",
                             Printable(FullName(entry)).c_str());
                return ExitFailure;
            }
            break;
        }
        out.write(reinterpret_cast<const char*>(buffer.data()), length);
        received += static_cast<unsigned long long>(length);
        if (length < PieceBytes) {
            break;
        }
    }
    api.PlrCloseReadFile();
    out.close();
    if (!out) {
        std::filesystem::remove(partial);
        std::fprintf(stderr, "qrm284: Cannot write \"%s\".\n", Printable(target).c_str());
        return ExitFailure;
    }
    std::filesystem::rename(partial, target);
    Emit(json, {{"event", "got"}, {"name", FullName(entry)}, {"path", target}, {"bytes", received}},
         Printable(FullName(entry)) + " -> " + Printable(target) + " (" + std::to_string(received) + " bytes)");
    return 0;
}

int RunGet(const GetOptions& options) {
    if (options.names.size() > 1 && !options.output.empty() && !std::filesystem::is_directory(options.output)) {
        Fail("With several files, -o must name a folder.");
        return ExitUsage;
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
        if (int status = Download(session, *entry, LocalPath(options, *entry), options.json); status != 0) {
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
    get->add_flag("--json", options->json, "One JSON object per line");
    get->callback([options, &exitStatus] {
        exitStatus = RunGet(*options);
        EmitResult(options->json, "get", exitStatus);
    });
}

} // namespace qrm284

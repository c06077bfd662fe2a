// qrm284 font: downloads a font file to the player through the device API.
#include "tools/qrm284/commands.h"
#include "tools/qrm284/device_session.h"
#include "tools/qrm284/json_output.h"
#include "tools/qrm284/progress_meter.h"
#include "tools/qrm284/terminal_text.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace qrm284 {

namespace {

namespace fs = std::filesystem;

// The font command's length byte counts the name plus 8, and its size field is 32 bits.
constexpr size_t MaxFontName = 247;
constexpr uint64_t MaxFontBytes = 0xFFFFFFFFu;
// Every write but the last must be a whole number of 512-byte blocks.
constexpr size_t PieceBytes = 32768;

struct FontOptions {
    std::string file;
    bool dryRun = false;
    bool json = false;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

int UsageFailure(const std::string& sentence) {
    std::fprintf(stderr, "qrm284: %s\n", sentence.c_str());
    return ExitUsage;
}

// Fills `piece` from `file` unless the file ends first; the bytes read.
size_t ReadPiece(std::FILE* file, std::vector<uint8_t>& piece) {
    size_t got = 0;
    while (got < piece.size()) {
        const size_t n = std::fread(piece.data() + got, 1, piece.size() - got, file);
        if (n == 0) {
            break;
        }
        got += n;
    }
    return got;
}

int SendFont(CDeviceAPI& api, std::FILE* file, const std::string& name, uint64_t size, bool json) {
    if (api.PlrDownloadFont(name.c_str(), static_cast<unsigned long>(size)) != 1) {
        api.PlrWriteFontClose();   // puts the time-outs back
        std::fprintf(stderr, "qrm284: The player did not take the font \"%s\".\n", Printable(name).c_str());
        return ExitRefused;
    }
    ProgressMeter meter("font", name, size, ProgressUnit::Bytes, json);
    std::vector<uint8_t> piece(PieceBytes);
    uint64_t sent = 0;
    while (sent < size) {
        const size_t got = ReadPiece(file, piece);
        // A file that shrank since it was measured would leave the player waiting for bytes.
        if (got == 0 || (got < piece.size() && sent + got != size)) {
            api.PlrWriteFontClose();
            return Fail("The font file could not be read to its end.");
        }
        if (api.PlrWriteFontData(piece.data(), static_cast<unsigned long>(got)) != 1) {
            api.PlrWriteFontClose();
            return Fail("The font did not reach the player.");
        }
        sent += got;
        meter.Update(sent);
    }
    meter.Finish();
    api.PlrWriteFontClose();
    return 0;
}

int RunFont(const FontOptions& options) {
    // The file is judged before the player is asked anything.
    std::error_code error;
    const fs::path path(options.file);
    if (!fs::exists(path, error)) {
        return UsageFailure("There is no file \"" + Printable(options.file) + "\".");
    }
    if (!fs::is_regular_file(path, error)) {
        return UsageFailure("\"" + Printable(options.file) + "\" is not a file.");
    }
    const uintmax_t size = fs::file_size(path, error);
    if (error || size == 0) {
        return UsageFailure("\"" + Printable(options.file) + "\" is empty.");
    }
    if (size > MaxFontBytes) {
        return UsageFailure("\"" + Printable(options.file) + "\" is larger than the player's 4 GiB font limit.");
    }
    const std::string name = path.filename().string();
    if (name.size() > MaxFontName) {
        return UsageFailure("The font's name is longer than the player's 247 bytes.");
    }
    File file(std::fopen(options.file.c_str(), "rb"));
    if (file == nullptr) {
        return UsageFailure("\"" + Printable(options.file) + "\" cannot be read.");
    }

    DeviceSession session;
    if (int status = session.Open(0); status != 0) {
        return status;
    }
    const nlohmann::json fields{{"name", name}, {"size", size}};
    const std::string shown = "font " + Printable(name) + " (" + std::to_string(size) + " bytes)";
    if (options.dryRun) {
        nlohmann::json event{{"event", "would-download-font"}};
        event.update(fields);
        Emit(options.json, event, "would download " + shown);
        return 0;
    }
    if (int status = SendFont(session.Api(), file.get(), name, size, options.json); status != 0) {
        return status;
    }
    nlohmann::json event{{"event", "downloaded-font"}};
    event.update(fields);
    Emit(options.json, event, "downloaded " + shown);
    return 0;
}

} // namespace

void AddFontCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<FontOptions>();
    CLI::App* font = app.add_subcommand("font", "Download a font file to the player.");
    font->add_option("file", options->file, "The font file; its name is the font's name on the player")->required();
    font->add_flag("--dry-run", options->dryRun, "Check the file and the player; send nothing");
    font->add_flag("--json", options->json, "One JSON object per line");
    font->callback([options, &exitStatus] {
        exitStatus = RunFont(*options);
        EmitResult(options->json, "font", exitStatus);
    });
}

} // namespace qrm284

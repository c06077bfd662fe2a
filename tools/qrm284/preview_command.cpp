// qrm284 preview: what put would announce and draw for each file, worked out
// by the device API's own rules on this computer, with no player.
#include "plrapi/upload_preview.h"
#include "tools/qrm284/block_picture.h"
#include "tools/qrm284/commands.h"
#include "tools/qrm284/json_output.h"
#include "tools/qrm284/terminal_text.h"
#include "tools/qrm284/upload_source.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>
#include <unistd.h>

namespace qrm284 {

namespace {

struct PreviewOptions {
    std::vector<std::string> files;
    std::string png;
    bool json = false;
};

// The bytes the title text is chosen from: put sends blocks far larger than
// these, so its first block holds them all.
constexpr size_t FirstBytes = 16384;
constexpr size_t LastBytes = 128;

// The first and last bytes of what the upload would send.
struct SentBytes {
    std::vector<uint8_t> first;
    std::vector<uint8_t> last;
};

bool ReadSentBytes(const UploadSource& source, SentBytes& bytes) {
    const size_t size = source.size;
    const size_t firstSize = std::min(size, FirstBytes);
    const size_t lastFrom = std::max(firstSize, size - std::min(size, LastBytes));
    bytes.first.resize(firstSize);
    bytes.last.resize(size - lastFrom);
    UploadReader reader(source);
    return reader.Read(bytes.first.data(), firstSize) == firstSize && reader.Seek(lastFrom) &&
           reader.Read(bytes.last.data(), bytes.last.size()) == bytes.last.size();
}

// Several files: "title.png" becomes "title-1.png", "title-2.png", ... in
// the order the files were given.
std::string PicturePath(const std::string& path, size_t index, size_t count) {
    if (count == 1) {
        return path;
    }
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    const std::string number = "-" + std::to_string(index + 1);
    return hasExtension ? path.substr(0, dot) + number + path.substr(dot) : path + number;
}

// The sentence and exit status for what the upload would be refused for.
int Refusal(plrapi::LastError code, const std::string& path) {
    const std::string what = "\"" + Printable(path) + "\"";
    std::string sentence;
    switch (code) {
    case plrapi::LastError::NameUnusable: sentence = "The name of " + what + " is too long for the player."; break;
    case plrapi::LastError::SizeTooLarge: sentence = what + " is too large for the player."; break;
    default: sentence = "The device API would not take " + what + "."; break;
    }
    return Fail(sentence.c_str());
}

void Show(const PreviewOptions& options, const UploadSource& source, const plrapi::UploadPreview& preview,
          const std::string& png) {
    const int width = preview.titled ? static_cast<int>(preview.title.width) : 0;
    const int height = preview.titled ? plrapi::TitleRows : 0;
    if (options.json) {
        nlohmann::json object{{"event", "preview"},
                              {"file", source.path},
                              {"name", preview.longName},
                              {"shortName", preview.shortName},
                              {"announcedSize", preview.announcedSize},
                              {"titleText", preview.titled ? nlohmann::json(preview.titleText) : nlohmann::json()},
                              {"pictureWidth", width},
                              {"pictureHeight", height}};
        if (!png.empty()) {
            object["png"] = png;
        }
        Emit(true, object, {});
        return;
    }
    std::string text = Printable(source.path) + " -> " + preview.shortName + ", " +
                       std::to_string(preview.announcedSize) + " bytes announced";
    if (!preview.titled) {
        Emit(false, {}, text + ", no title picture");
        return;
    }
    text += "\ntitle \"" + Printable(preview.titleText) + "\", " + std::to_string(width) + " x " +
            std::to_string(height) + " pixels";
    if (!png.empty()) {
        text += ", written to " + Printable(png);
    }
    // On a terminal the picture is cut to its width rather than wrapped into noise.
    const int columns = isatty(STDOUT_FILENO) != 0 ? std::min(width, TerminalColumns(STDOUT_FILENO)) : width;
    if (columns < width) {
        text += " (the first " + std::to_string(columns) + " columns shown)";
    }
    for (const std::string& line : BlockPicture(preview.title.bitmap, columns, LocaleIsUtf8())) {
        text += "\n" + line;
    }
    Emit(false, {}, text);
}

int RunPreview(const PreviewOptions& options) {
    std::vector<UploadSource> sources(options.files.size());
    for (size_t i = 0; i < options.files.size(); ++i) {
        if (auto failure = PrepareUploadSource(options.files[i], sources[i]); !failure.empty()) {
            Fail(failure.c_str());
            return ExitUsage;
        }
    }
    for (size_t i = 0; i < sources.size(); ++i) {
        const UploadSource& source = sources[i];
        SentBytes bytes;
        if (!ReadSentBytes(source, bytes)) {
            return Fail(("Cannot read \"" + Printable(source.path) + "\".").c_str());
        }
        // Over 3 KiB with the picture: kept off the stack.
        auto preview = std::make_unique<plrapi::UploadPreview>();
        const plrapi::PreviewSource input{source.name.c_str(), source.extension.c_str(), source.size,
                                          std::span<const uint8_t>(bytes.first), std::span<const uint8_t>(bytes.last)};
        if (const auto refused = plrapi::PreviewUpload(input, *preview)) {
            return Refusal(*refused, source.path);
        }
        std::string png;
        if (!options.png.empty() && preview->titled) {
            png = PicturePath(options.png, i, sources.size());
            if (!plrapi::WritePreviewPicture(png, *preview)) {
                return Fail(("Cannot write \"" + Printable(png) + "\".").c_str());
            }
        }
        Show(options, source, *preview, png);
    }
    return 0;
}

} // namespace

void AddPreviewCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<PreviewOptions>();
    CLI::App* preview = app.add_subcommand(
        "preview", "Show what put would do with files, without a player: the 8.3 name, the size announced, "
                   "the title text and picture. The 8.3 name is the one an empty folder gives; names already "
                   "on the player can make put number it on (~2, ~3, ...).");
    preview->add_option("files", options->files, "Files as for put (MP3, WMA, voice WAV: IMA ADPCM mono 8 kHz)")
        ->required()
        ->check(CLI::ExistingFile);
    preview->add_option("--png", options->png,
                        "Write each title picture as a PNG file; for several files PATH gets the file's number "
                        "(title.png: title-1.png, title-2.png, ...)");
    preview->add_flag("--json", options->json, "One JSON object per line");
    preview->callback([options, &exitStatus] {
        exitStatus = RunPreview(*options);
        EmitResult(options->json, "preview", exitStatus);
    });
}

} // namespace qrm284

// qrm284 put: uploads files through the device API and shows their 8.3 names.
#include "tools/qrm284/commands.h"
#include "tools/qrm284/device_session.h"
#include "tools/qrm284/json_output.h"
#include "tools/qrm284/pc_file_info.h"
#include "tools/qrm284/player_session.h"
#include "tools/qrm284/terminal_text.h"
#include "tools/qrm284/voice_wav.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <strings.h>
#include <vector>

namespace qrm284 {

namespace {

struct PutOptions {
    std::vector<std::string> files;
    int storage = 0;
    std::string folder = "/";
    bool dryRun = false;
    bool json = false;
};

// What goes to the player for one PC file.
struct Upload {
    std::string path;
    std::string name;
    std::string extension;
    unsigned long size = 0;
    std::vector<uint8_t> voice;   // the whole repacked file, for voice recordings
};

// Blocks the API takes: whole multiples of 32 KiB.
constexpr size_t ChunkBytes = 32 * 32768;

bool HasExtension(const std::string& extension, std::initializer_list<const char*> list) {
    for (const char* candidate : list) {
        if (strcasecmp(extension.c_str(), candidate) == 0) {
            return true;
        }
    }
    return false;
}

// Empty on success, else the sentence.
std::string Prepare(const std::string& path, Upload& upload) {
    upload.path = path;
    SplitName(path, upload.name, upload.extension);
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        return "Cannot read \"" + Printable(path) + "\".";
    }
    const auto size = static_cast<unsigned long long>(in.tellg());
    if (size > 0xFFFFFFFFull) {
        return "\"" + Printable(path) + "\" is larger than the player can hold (4 GiB).";
    }
    upload.size = static_cast<unsigned long>(size);
    if (HasExtension(upload.extension, {"wav", "adp"})) {
        in.seekg(0);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        VoiceCheck check = PackVoiceWav(bytes);
        if (!check.packed) {
            return "\"" + Printable(path) + "\" " + (check.isWav ? check.problem : "is not a WAV file") +
                   "; the player plays voice recordings only in that form. Convert it with: " + SoxCommandFor(path);
        }
        upload.voice = std::move(*check.packed);
        upload.extension = "ADP";
        upload.size = static_cast<unsigned long>(upload.voice.size());
        return {};
    }
    if (HasExtension(upload.extension, {"flac", "ogg", "oga", "opus", "m4a", "aac", "aif", "aiff", "au", "mp2"})) {
        return "The player does not play \"" + Printable(path) +
               "\"; it plays MP3, WMA and voice recordings. Make a voice recording of it with: " + SoxCommandFor(path);
    }
    return {};
}

// Exit status for a failed upload, with the sentence printed.
int UploadFailure(CDeviceAPI& api, const Upload& upload) {
    const long code = api.PlrGetLastError();
    const std::string what = "\"" + Printable(upload.path) + "\"";
    switch (code) {
    case 12: std::fprintf(stderr, "qrm284: The player has no room for %s.\n", what.c_str()); return ExitRefused;
    case 15: std::fprintf(stderr, "qrm284: The name of %s is too long for the player.\n", what.c_str()); return ExitFailure;
    case 16: std::fprintf(stderr, "qrm284: %s is too large for the player.\n", what.c_str()); return ExitFailure;
    case 17: std::fprintf(stderr, "qrm284: The player did not take %s as a voice recording.\n", what.c_str()); return ExitRefused;
    default: std::fprintf(stderr, "qrm284: The player did not take %s (error %ld).\n", what.c_str(), code); return ExitRefused;
    }
}

int Send(DeviceSession& session, Upload& upload) {
    CDeviceAPI& api = session.Api();
    PcFileInfo info(upload.name, upload.extension, upload.size);
    if (api.PlrWriteFileStart(session.Storage()) != 1 || api.PlrWriteFileInfo(&info) != 1) {
        return UploadFailure(api, upload);
    }
    bool written = true;
    if (!upload.voice.empty()) {
        written = api.PlrWriteFileBlock(upload.voice.data(), static_cast<long>(upload.voice.size())) == 1;
    } else {
        std::ifstream in(upload.path, std::ios::binary);
        std::vector<uint8_t> buffer(ChunkBytes);
        unsigned long left = upload.size;
        while (written && left > 0) {
            const size_t piece = std::min<unsigned long>(left, ChunkBytes);
            if (!in.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(piece))) {
                break;   // fewer bytes than announced: closing cancels the file
            }
            written = api.PlrWriteFileBlock(buffer.data(), static_cast<long>(piece)) == 1;
            left -= piece;
        }
        if (left > 0 && written) {
            api.PlrCloseFile();
            std::fprintf(stderr, "qrm284: \"%s\" changed while it was read; nothing was stored.\n",
                         Printable(upload.path).c_str());
            return ExitFailure;
        }
    }
    if (!written || api.PlrCloseFile() != 1) {
        if (!written) {
            api.PlrCloseFile();
        }
        return UploadFailure(api, upload);
    }
    return 0;
}

// The 8.3 names come from the player's own listing, which the API does not give.
std::string ShortNameOf(const StorageImage& image, const std::string& longName) {
    const uint32_t count = std::min<uint32_t>(image.entryCount, 256);
    for (uint32_t i = 0; i < count; ++i) {
        const FileRecord& record = image.records[i];
        if ((record.attribute & 0x10) == 0 && strcasecmp(RecordName(record).c_str(), longName.c_str()) == 0) {
            std::string shortName;
            for (size_t k = 0; k < 8 && record.baseName[k] != '\0' && record.baseName[k] != ' '; ++k) {
                shortName += record.baseName[k];
            }
            if (record.extension[0] != '\0' && record.extension[0] != ' ') {
                shortName += '.';
                for (size_t k = 0; k < 3 && record.extension[k] != '\0' && record.extension[k] != ' '; ++k) {
                    shortName += record.extension[k];
                }
            }
            return shortName;
        }
    }
    return "?";
}

int RunPut(const PutOptions& options) {
    std::vector<Upload> uploads(options.files.size());
    for (size_t i = 0; i < options.files.size(); ++i) {
        if (auto failure = Prepare(options.files[i], uploads[i]); !failure.empty()) {
            Fail(failure.c_str());
            return ExitUsage;
        }
    }
    DeviceSession session;
    if (int status = session.Open(options.storage); status != 0) {
        return status;
    }
    if (int status = session.EnterFolder(options.folder); status != 0) {
        return status;
    }
    if (options.dryRun) {
        for (const Upload& upload : uploads) {
            const std::string longName = upload.extension.empty() ? upload.name : upload.name + "." + upload.extension;
            Emit(options.json, {{"event", "would-put"}, {"file", upload.path}, {"name", longName}, {"bytes", upload.size}},
                 "would put " + Printable(upload.path) + " (" + std::to_string(upload.size) + " bytes) as \"" +
                     Printable(longName) + "\"");
        }
        return 0;
    }
    for (Upload& upload : uploads) {
        if (int status = Send(session, upload); status != 0) {
            return status;
        }
    }
    auto image = NewStorageImage();
    const std::string listed = ListFolder(options.storage, options.folder, *image);
    for (const Upload& upload : uploads) {
        const std::string longName = upload.extension.empty() ? upload.name : upload.name + "." + upload.extension;
        const std::string shortName = listed.empty() ? ShortNameOf(*image, longName) : "?";
        Emit(options.json,
             {{"event", "put"}, {"file", upload.path}, {"name", longName}, {"shortName", shortName}, {"bytes", upload.size}},
             Printable(upload.path) + " -> " + shortName);
    }
    return 0;
}

} // namespace

void SplitName(const std::string& path, std::string& name, std::string& extension) {
    const auto slash = path.find_last_of('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = base.find_last_of('.');
    if (dot == std::string::npos || dot == 0) {
        name = base;
        extension.clear();
    } else {
        name = base.substr(0, dot);
        extension = base.substr(dot + 1);
    }
}

void AddPutCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<PutOptions>();
    CLI::App* put = app.add_subcommand("put", "Copy files to the player and show the 8.3 name each got.");
    put->add_option("files", options->files, "Files to copy (MP3, WMA, voice WAV: IMA ADPCM mono 8 kHz)")
        ->required()
        ->check(CLI::ExistingFile);
    put->add_option("--storage", options->storage, "Storage: 0 main memory (default), 1 memory card")
        ->check(CLI::Range(0, 1));
    put->add_option("--to", options->folder, "Folder to copy into, from the top of the storage (default /)");
    put->add_flag("--dry-run", options->dryRun, "Say what would be copied; change nothing");
    put->add_flag("--json", options->json, "One JSON object per line");
    put->callback([options, &exitStatus] {
        exitStatus = RunPut(*options);
        EmitResult(options->json, "put", exitStatus);
    });
}

} // namespace qrm284

// qrm284 put: uploads files through the device API and shows their 8.3 names.
#include "tools/qrm284/commands.h"
#include "tools/qrm284/device_session.h"
#include "tools/qrm284/json_output.h"
#include "tools/qrm284/pc_file_info.h"
#include "tools/qrm284/player_session.h"
#include "tools/qrm284/progress_meter.h"
#include "tools/qrm284/terminal_text.h"
#include "tools/qrm284/transfer_cancel.h"
#include "tools/qrm284/upload_source.h"
#include "tools/qrm284/upload_verify.h"

#include <algorithm>
#include <cstdio>
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
    bool verify = false;
    bool replace = false;
    bool json = false;
};

// Blocks the API takes: whole multiples of 32 KiB. Larger blocks cost memory
// and make Ctrl-C slower to take effect; smaller ones cost calls.
constexpr size_t ChunkBytes = 32 * 32768;

std::string LongName(const UploadSource& upload) {
    return upload.extension.empty() ? upload.name : upload.name + "." + upload.extension;
}

// Exit status for a failed upload, with the sentence printed. The device API
// gives one code (11) for a refusal and for a transfer that failed, so a
// player that no longer answers is told apart by asking it.
int UploadFailure(CDeviceAPI& api, const UploadSource& upload, bool sending) {
    const long code = api.PlrGetLastError();
    const std::string what = "\"" + Printable(upload.path) + "\"";
    switch (code) {
    case 12: std::fprintf(stderr, "qrm284: The player has no room for %s.\n", what.c_str()); return ExitRefused;
    case 15: std::fprintf(stderr, "qrm284: The name of %s is too long for the player.\n", what.c_str()); return ExitFailure;
    case 16: std::fprintf(stderr, "qrm284: %s is too large for the player.\n", what.c_str()); return ExitFailure;
    case 17: std::fprintf(stderr, "qrm284: The player did not take %s as a voice recording.\n", what.c_str()); return ExitRefused;
    default: break;
    }
    if (!PlayerAnswers()) {
        std::fprintf(stderr, "qrm284: The player stopped answering; %s was not stored.\n", what.c_str());
        return ExitNoPlayer;
    }
    if (sending) {
        std::fprintf(stderr, "qrm284: Sending %s to the player failed (error %ld); it was not stored.\n", what.c_str(),
                     code);
        return ExitFailure;
    }
    std::fprintf(stderr, "qrm284: The player did not take %s (error %ld).\n", what.c_str(), code);
    return ExitRefused;
}

int Send(DeviceSession& session, const UploadSource& upload, bool json) {
    CDeviceAPI& api = session.Api();
    PcFileInfo info(upload.name, upload.extension, upload.size);
    if (api.PlrWriteFileStart(session.Storage()) != 1 || api.PlrWriteFileInfo(&info) != 1) {
        return UploadFailure(api, upload, false);
    }
    ProgressMeter meter("put", upload.path, upload.size, ProgressUnit::Bytes, json && upload.size > ProgressFloor);
    UploadReader source(upload);
    std::vector<uint8_t> block(std::min<size_t>(ChunkBytes, upload.size));
    unsigned long done = 0;
    while (done < upload.size) {
        if (CancelRequested()) {
            // Closing before the announced size cancels the file on the player.
            api.PlrCloseFile();
            meter.Finish();
            std::fprintf(stderr, "qrm284: Cancelled; \"%s\" was not stored on the player.\n",
                         Printable(upload.path).c_str());
            return ExitInterrupted;
        }
        const size_t piece = std::min<unsigned long>(upload.size - done, ChunkBytes);
        if (source.Read(block.data(), piece) != piece) {
            api.PlrCloseFile();   // fewer bytes than announced: cancels the file
            meter.Finish();
            std::fprintf(stderr, "qrm284: \"%s\" changed while it was read; nothing was stored.\n",
                         Printable(upload.path).c_str());
            return ExitFailure;
        }
        if (api.PlrWriteFileBlock(block.data(), static_cast<long>(piece)) != 1) {
            api.PlrCloseFile();
            meter.Finish();
            return UploadFailure(api, upload, true);
        }
        done += piece;
        meter.Update(done);
        ObserveBlock(done);
    }
    meter.Finish();
    if (api.PlrCloseFile() != 1) {
        return UploadFailure(api, upload, true);
    }
    return 0;
}

// The player's copy of `upload` is removed: a copy known to be damaged only
// plays noise, and the file on this computer is still there to put again.
int Verify(DeviceSession& session, const UploadSource& upload) {
    const VerifyOutcome outcome = VerifyUpload(session, upload);
    const std::string what = Printable(upload.path);
    switch (outcome.result) {
    case VerifyOutcome::Result::Same: return 0;
    case VerifyOutcome::Result::Cancelled:
        std::fprintf(stderr, "qrm284: Cancelled; \"%s\" was stored on the player but not verified.\n", what.c_str());
        return ExitInterrupted;
    case VerifyOutcome::Result::Unreadable:
        std::fprintf(stderr, "qrm284: \"%s\" was stored but could not be read back to verify it.\n", what.c_str());
        return ExitFailure;
    case VerifyOutcome::Result::Differs: break;
    }
    const std::vector<ListedEntry> listing = session.Listing();
    const ListedEntry* entry = DeviceSession::FindLongName(listing, LongName(upload));
    const bool removed =
        entry != nullptr && session.Api().PlrDeleteByindex(session.Storage(), entry->filePosition) == 1;
    std::fprintf(stderr, "qrm284: The player's copy of \"%s\" differs from it at byte %llu; %s\n", what.c_str(),
                 static_cast<unsigned long long>(outcome.offset),
                 removed ? "the copy was removed." : "the copy could not be removed.");
    return ExitFailure;
}

// The 8.3 names come from the player's own listing, which the API does not give.
std::string ShortNameOf(const StorageImage& image, const std::string& longName) {
    const uint32_t count = std::min<uint32_t>(image.entryCount, 256);
    for (uint32_t i = 0; i < count; ++i) {
        const FileRecord& record = image.records[i];
        if ((record.attribute & 0x10) == 0 && strcasecmp(RecordName(record).c_str(), longName.c_str()) == 0) {
            return ShortName(record);
        }
    }
    return "?";
}

// What a file takes of the player's storage: whole units, the title trailer
// of music and voice files counted.
constexpr unsigned long long UnitBytes = 16384;
constexpr unsigned long long TrailerBytes = 2080;
unsigned long long StoredBytes(unsigned long long size, const std::string& extension) {
    const bool titled = strcasecmp(extension.c_str(), "MP3") == 0 || strcasecmp(extension.c_str(), "WMA") == 0 ||
                        strcasecmp(extension.c_str(), "ADP") == 0 || strcasecmp(extension.c_str(), "MPE") == 0;
    const unsigned long long bytes = size + (titled ? TrailerBytes : 0);
    return (bytes + UnitBytes - 1) / UnitBytes * UnitBytes;
}

// A name already in the folder is refused, or with --replace deleted once
// the new file is known to fit in its place. The player has no rename, so
// the old copy cannot be kept aside until the new one is whole.
int MakeRoomFor(DeviceSession& session, const UploadSource& upload, bool replace) {
    const std::vector<ListedEntry> listing = session.Listing();
    const ListedEntry* old = DeviceSession::FindLongName(listing, LongName(upload));
    if (old == nullptr) {
        return 0;
    }
    const std::string shown = "\"" + Printable(FullName(*old)) + "\"";
    if (!replace) {
        std::fprintf(stderr, "qrm284: %s is already on the player; add --replace to replace it.\n", shown.c_str());
        return ExitRefused;
    }
    if (!session.RefreshFreeBytes()) {
        return Fail("The player did not send its listing.");
    }
    const unsigned long long room = session.FreeBytes() + StoredBytes(old->size, old->extension);
    if (StoredBytes(upload.size, upload.extension) > room) {
        std::fprintf(stderr, "qrm284: The player has no room for \"%s\", even in place of %s; nothing was changed.\n",
                     Printable(upload.path).c_str(), shown.c_str());
        return ExitRefused;
    }
    const std::vector<ListedEntry> relisted = session.Listing();
    const ListedEntry* entry = DeviceSession::FindLongName(relisted, LongName(upload));
    if (entry == nullptr || session.Api().PlrDeleteByindex(session.Storage(), entry->filePosition) != 1) {
        std::fprintf(stderr, "qrm284: The player did not delete %s to replace it.\n", shown.c_str());
        return ExitRefused;
    }
    return 0;
}

int RunPut(const PutOptions& options) {
    std::vector<UploadSource> uploads(options.files.size());
    for (size_t i = 0; i < options.files.size(); ++i) {
        if (auto failure = PrepareUploadSource(options.files[i], uploads[i]); !failure.empty()) {
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
        for (const UploadSource& upload : uploads) {
            const std::string longName = LongName(upload);
            Emit(options.json, {{"event", "would-put"}, {"file", upload.path}, {"name", longName}, {"bytes", upload.size}},
                 "would put " + Printable(upload.path) + " (" + std::to_string(upload.size) + " bytes) as \"" +
                     Printable(longName) + "\"");
        }
        return 0;
    }
    const CancelOnInterrupt interrupts;
    size_t stored = 0;
    int status = 0;
    for (const UploadSource& upload : uploads) {
        status = MakeRoomFor(session, upload, options.replace);
        if (status == 0) {
            status = Send(session, upload, options.json);
        }
        if (status == 0 && options.verify) {
            status = Verify(session, upload);
        }
        if (status != 0) {
            break;
        }
        ++stored;
    }
    if (stored == 0) {
        return status;
    }
    // The files stored before a failure are shown too: they stay on the player.
    auto image = NewStorageImage();
    const std::string listed = ListFolder(options.storage, options.folder, *image);
    for (size_t i = 0; i < stored; ++i) {
        const UploadSource& upload = uploads[i];
        const std::string longName = LongName(upload);
        const std::string shortName = listed.empty() ? ShortNameOf(*image, longName) : "?";
        Emit(options.json,
             {{"event", "put"}, {"file", upload.path}, {"name", longName}, {"shortName", shortName}, {"bytes", upload.size}},
             Printable(upload.path) + " -> " + shortName);
    }
    return status;
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
    put->add_flag("--verify", options->verify,
                  "Read each file back from the player and compare; a copy that differs is removed");
    put->add_flag("--replace", options->replace,
                  "Delete a file of the same name first, once the new one is known to fit (the player has no "
                  "rename: should the upload then fail, the player's old copy is gone)");
    put->add_flag("--json", options->json, "One JSON object per line");
    put->callback([options, &exitStatus] {
        exitStatus = RunPut(*options);
        EmitResult(options->json, "put", exitStatus);
    });
}

} // namespace qrm284

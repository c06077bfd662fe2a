// Downloads: the file found by name in the cached listing, read in requests
// of at most 32,768 bytes, returned without the title trailer, voice files
// as WAV files.
#include "platform/system/debug_output.h"
#include "plrapi.h"
#include "plrapi/download_state.h"
#include "plrapi/file_positions.h"
#include "plrapi/process_state.h"
#include "plrapi/record_fields.h"
#include "plrapi/title_trailer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>

using plrapi::Download;
using plrapi::DownloadChunkSize;
using plrapi::LastError;

namespace {

constexpr size_t ShortBaseChars = 8;
constexpr size_t ShortExtensionChars = 3;
constexpr size_t LongestWantedName = 512;

// Name, and '.' and extension when there is one.
std::string JoinName(const char* name, size_t nameSpace, const char* extension, size_t extensionSpace) {
    std::string joined(name != nullptr ? name : "", name != nullptr ? strnlen(name, nameSpace) : 0);
    const size_t extensionLength = extension != nullptr ? strnlen(extension, extensionSpace) : 0;
    if (extensionLength > 0) {
        joined += '.';
        joined.append(extension, extensionLength);
    }
    return joined;
}

// What portio is handed for the file: its 8.3 name padded as the player keeps it.
FileRecord ReadRequest(const FileRecord& row) {
    FileRecord request{};
    std::string base(row.baseName, strnlen(row.baseName, ShortBaseChars));
    std::string extension(plrapi::ExtensionOf(row), strnlen(plrapi::ExtensionOf(row), ShortExtensionChars));
    base.resize(ShortBaseChars, ' ');
    extension.resize(ShortExtensionChars, ' ');
    std::memcpy(request.baseName, base.data(), base.size());
    std::memcpy(request.extension, extension.data(), extension.size());
    const std::string display = base + "." + extension;
    std::memcpy(request.displayName, display.data(), display.size());
    request.attribute = row.attribute;
    request.size = row.size;
    return request;
}

void ReportProgress(bool wholeChunk, uint32_t bytesRead, uint32_t expected) {
    if (!platform::DebugOutputOn()) {
        return;
    }
    char text[64];
    std::snprintf(text, sizeof text, wholeChunk ? "===================%d/%d \n" : "===================%d/%d",
                  static_cast<int>(bytesRead), static_cast<int>(expected));
    platform::OutputDebugText(text);
}

constexpr size_t BlockSize = 512;

// Reads `size` bytes of the stream into `target` in one request.
bool Read(uint8_t* target, size_t size) { return dll_fn_Read_file(target, static_cast<uint32_t>(size)) == 0; }

// The file's last `size` bytes with the trailer behind them: read and dropped,
// in one request while that stays below a chunk, else in a chunk and the rest.
bool ReadLastPieceAndTrailer(uint8_t* target, size_t size) {
    auto& scratch = Download().scratch;
    const size_t total = size + plrapi::TitleTrailerSize;
    const size_t first = std::min(total, DownloadChunkSize);
    if (!Read(scratch.data(), first)) {
        return false;
    }
    std::memcpy(target, scratch.data(), size);
    return first == total || Read(scratch.data(), total - first);
}

// Takes `size` data bytes from the player into `target`: whole chunks, the
// file's last part with the trailer behind it, and a piece of any other size
// as whole blocks, whose surplus is carried to the next piece.
bool Fetch(uint8_t* target, size_t size) {
    auto& download = Download();
    while (size > 0) {
        const size_t dataLeft = download.expected - download.fetched;
        size_t taken = std::min(size, DownloadChunkSize);
        bool read = false;
        if (taken < DownloadChunkSize && taken == dataLeft) {
            read = download.trailer ? ReadLastPieceAndTrailer(target, taken) : Read(target, taken);
        } else if (taken == DownloadChunkSize) {
            read = Read(target, taken);
        } else {
            const size_t request = std::min((taken + BlockSize - 1) / BlockSize * BlockSize, dataLeft);
            read = Read(download.scratch.data(), request);
            if (read) {
                std::memcpy(target, download.scratch.data(), taken);
                download.carrySize = request - taken;
                download.carryAt = 0;
                std::memcpy(download.carry.data(), download.scratch.data() + taken, download.carrySize);
                download.fetched += static_cast<uint32_t>(request - taken);
            }
        }
        if (!read) {
            return false;
        }
        download.fetched += static_cast<uint32_t>(taken);
        ReportProgress(taken == DownloadChunkSize, download.fetched, download.expected);
        target += taken;
        size -= taken;
    }
    return true;
}

} // namespace

long CDeviceAPI::PlrReadFileStart(int storage) {
    if (plrapi::StartTransfer(storage) == nullptr) {
        return 0;
    }
    Download().open = false;
    Download().bytesRead = 0;
    return 1;
}

long CDeviceAPI::PlrReadFileInfo(CPDFileInfo* info) {
    plrapi::DeviceState* state = plrapi::OpenState();
    if (state == nullptr || info == nullptr) {
        return 0;
    }
    const std::string wanted = JoinName(info->GetFileName(), LongestWantedName, info->GetFileExt(), LongestWantedName);
    const int rows = std::clamp(state->entryCount, 0, plrapi::TableRows);
    int found = -1;
    int folders = 0;
    for (int row = 0; row < rows && found < 0; ++row) {
        const FileRecord& cached = state->table[static_cast<size_t>(row)];
        // A folder of that name would send the position of the file after it.
        if (plrapi::IsFolderRow(cached)) {
            ++folders;
        } else if (JoinName(cached.longName, sizeof cached.longName, plrapi::ExtensionOf(cached),
                            plrapi::ExtensionSpace) == wanted) {
            found = row;
        }
    }
    if (found < 0) {
        return 0;
    }
    const FileRecord& row = state->table[static_cast<size_t>(found)];
    const FileRecord request = ReadRequest(row);
    if (dll_fn_Open_Readfile(request, state->storageIndex, found - folders) != 0) {
        return plrapi::Fail(LastError::ReadFailed);
    }
    auto& download = Download();
    download.open = true;
    download.bytesRead = 0;
    download.fetched = 0;
    download.carrySize = 0;
    download.carryAt = 0;
    download.expected = row.size;
    download.trailer = row.headerFlag != 0;
    if (strncasecmp(request.extension, "adp", ShortExtensionChars) == 0) {
        download.voice.Start(row.size);
    } else {
        download.voice = plrapi::VoiceUnpacker();
    }
    return 1;
}

long CDeviceAPI::PlrReadFileBlock(unsigned char* buffer, long* length, long /*unused*/) {
    if (plrapi::OpenState() == nullptr) {
        return 0;
    }
    auto& download = Download();
    if (buffer == nullptr || length == nullptr || *length <= 0 || !download.open) {
        return 0;
    }
    // Nothing past the file's end is asked of the player.
    const size_t size = std::min<size_t>(static_cast<size_t>(*length), download.expected - download.bytesRead);
    const bool voice = download.voice.Active();
    if (voice) {
        download.stored.resize(size);
    }
    uint8_t* target = voice ? download.stored.data() : buffer;
    const size_t carried = std::min(size, download.carrySize - download.carryAt);
    // An empty voice recording has no stored bytes to point at.
    if (carried > 0) {
        std::memcpy(target, download.carry.data() + download.carryAt, carried);
        download.carryAt += carried;
    }
    if (!Fetch(target + carried, size - carried)) {
        dll_fn_Close_Readfile();
        download.open = false;
        download.voice = plrapi::VoiceUnpacker();
        return plrapi::Fail(LastError::ReadFailed);
    }
    download.bytesRead += static_cast<uint32_t>(size);
    const bool end = download.bytesRead == download.expected;
    if (end) {
        dll_fn_Close_Readfile();
        download.open = false;
    }
    if (voice) {
        *length = static_cast<long>(download.voice.Feed(target, size, end, buffer));
    } else {
        *length = static_cast<long>(size);
    }
    return 1;
}

long CDeviceAPI::PlrCloseReadFile() {
    if (plrapi::OpenState() == nullptr) {
        return 0;
    }
    auto& download = Download();
    if (download.open) {
        if (download.bytesRead != download.expected) {
            dll_fn_Cancel();
        } else {
            dll_fn_Close_Readfile();
        }
    }
    download.open = false;
    download.voice = plrapi::VoiceUnpacker();
    return 1;
}

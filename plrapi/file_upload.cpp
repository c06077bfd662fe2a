// Uploads: the file announced with its 8.3 name and the size the player will
// receive, its bytes in chunks of 32,768, voice files repacked on the way,
// the title trailer behind the last byte, then the listing again.
#include "plrapi.h"
#include "plrapi/cached_listing.h"
#include "plrapi/process_state.h"
#include "plrapi/title_text.h"
#include "plrapi/title_trailer.h"
#include "plrapi/upload_state.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

using plrapi::LastError;
using plrapi::Upload;
using plrapi::UploadChunkSize;

namespace {

constexpr int FullTable = plrapi::TableRows - 1;
constexpr int RefusedNoRoom = 6;

bool Write(const uint8_t* data, size_t size) { return dll_fn_Write_file(data, static_cast<uint32_t>(size)) == 0; }

// A whole chunk goes to the player at once.
bool SendChunk(const uint8_t* data, size_t size) {
    if (!Write(data, size)) {
        return false;
    }
    Upload().bytesWritten += size;
    return true;
}

// A partial chunk waits for the close; a later one replaces it.
void HoldTail(const uint8_t* data, size_t size) {
    auto& upload = Upload();
    std::memcpy(upload.held.data(), data, size);
    upload.heldSize = size;
    upload.bytesWritten += size;
}

class ChunkSink final : public plrapi::PackedBytesSink {
public:
    bool Send(const uint8_t* data, size_t size) override { return SendChunk(data, size); }
    void Hold(const uint8_t* data, size_t size) override { HoldTail(data, size); }
};

// The held tail, the title picture and its header as one stream: one write
// below a chunk, else a chunk and the rest.
bool SendTailWithTrailer(const FileRecord& current) {
    auto& upload = Upload();
    const std::string_view longName(current.longName, strnlen(current.longName, sizeof current.longName));
    const std::string title = plrapi::ChooseTitleText(upload.titleWindows.Sources(longName));
    const plrapi::TitleTrailer trailer = plrapi::BuildTitleTrailer(title);
    std::vector<uint8_t> stream(upload.held.data(), upload.held.data() + upload.heldSize);
    stream.insert(stream.end(), trailer.begin(), trailer.end());
    if (stream.size() < UploadChunkSize) {
        return Write(stream.data(), stream.size());
    }
    return Write(stream.data(), UploadChunkSize) &&
           Write(stream.data() + UploadChunkSize, stream.size() - UploadChunkSize);
}

} // namespace

long CDeviceAPI::PlrWriteFileStart(int storage) {
    if (plrapi::StartTransfer(storage) == nullptr) {
        return 0;
    }
    Upload().open = false;
    Upload().bytesWritten = 0;
    return 1;
}

long CDeviceAPI::PlrWriteFileInfo(CPDFileInfo* info) {
    plrapi::DeviceState* state = plrapi::OpenState();
    if (state == nullptr) {
        return 0;
    }
    if (state->entryCount > FullTable) {
        return plrapi::Fail(LastError::TableFull);
    }
    if (info == nullptr) {
        return plrapi::Fail(LastError::NameUnusable);
    }
    plrapi::UploadRecord record;
    if (const auto refused = plrapi::BuildUploadRecord(*info, *state, record)) {
        return plrapi::Fail(*refused);
    }

    auto& upload = Upload();
    upload.open = false;
    upload.kind = record.kind;
    upload.bytesWritten = record.kind == plrapi::UploadKind::Plain ? 0 : plrapi::TitleTrailerSize;
    upload.titleWindows.Reset();
    upload.heldSize = 0;
    if (record.kind == plrapi::UploadKind::Voice) {
        upload.voice.Start(record.pcSize);
    } else {
        upload.voice.Stop();
    }
    state->current = record.record;

    const int opened = dll_fn_Open_Writefile(record.record, state->storageIndex);
    if (opened != 0) {
        return plrapi::Fail(opened == RefusedNoRoom ? LastError::TableFull : LastError::WriteFailed);
    }
    upload.open = true;
    return 1;
}

long CDeviceAPI::PlrWriteFileBlock(unsigned char* data, long length) {
    const plrapi::DeviceState* state = plrapi::OpenState();
    if (state == nullptr) {
        return 0;
    }
    auto& upload = Upload();
    if (length <= 0 || data == nullptr || !upload.open) {
        return 0;
    }
    const auto size = static_cast<size_t>(length);
    // Bytes past the announced size would reach the player's command pipe
    // once its data phase is over. The voice packer drops them itself.
    if (!upload.voice.Active() && upload.bytesWritten + size > state->current.size) {
        return plrapi::Fail(LastError::WriteFailed);
    }
    upload.titleWindows.Keep(data, size);
    if (upload.voice.Active()) {
        ChunkSink sink;
        switch (upload.voice.Feed(data, size, sink)) {
        case plrapi::VoicePacker::Step::Taking:
        case plrapi::VoicePacker::Step::Finished:
            return 1;
        case plrapi::VoicePacker::Step::SendFailed:
            return plrapi::Fail(LastError::WriteFailed);
        case plrapi::VoicePacker::Step::NotVoice:
            // Nothing of it stays on the player.
            dll_fn_Cancel();
            upload.open = false;
            return plrapi::Fail(LastError::NotVoiceWav);
        }
    }
    for (size_t at = 0; at < size; at += UploadChunkSize) {
        const size_t piece = std::min(UploadChunkSize, size - at);
        if (piece < UploadChunkSize) {
            HoldTail(data + at, piece);
        } else if (!SendChunk(data + at, piece)) {
            return plrapi::Fail(LastError::WriteFailed);
        }
    }
    return 1;
}

long CDeviceAPI::PlrCloseFile() {
    plrapi::DeviceState* state = plrapi::OpenState();
    if (state == nullptr) {
        return 0;
    }
    auto& upload = Upload();
    if (!upload.open) {
        return 1;
    }
    upload.open = false;
    upload.voice.Stop();
    if (upload.bytesWritten != state->current.size) {
        upload.heldSize = 0;
        dll_fn_Cancel();
        return 1;
    }
    // One rule at both ends: the 8.3 extension the open announced the size by.
    bool sent = true;
    if (upload.kind != plrapi::UploadKind::Plain) {
        sent = SendTailWithTrailer(state->current);
    } else if (upload.heldSize > 0) {
        sent = Write(upload.held.data(), upload.heldSize);
    }
    upload.heldSize = 0;
    dll_fn_Close_Writefile();
    if (!sent) {
        return plrapi::Fail(LastError::WriteFailed);
    }

    // The listing again, in the form PlrGetStorageInfo caches.
    std::unique_ptr<StorageImage> image(new (std::nothrow) StorageImage());
    if (image == nullptr || dll_fn_refresh_device(image.get(), state->storageIndex) != 0) {
        return plrapi::Fail(LastError::WriteFailed);
    }
    plrapi::CacheListing(*image, *state);
    if (image->entryCount > static_cast<uint32_t>(plrapi::TableRows)) {
        return plrapi::Fail(LastError::TableFull);
    }
    return 1;
}

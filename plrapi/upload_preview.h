// An upload worked out on this computer alone, for tools that show it before
// any player is asked: the same functions decide it as for CDeviceAPI's
// uploads. Collisions with names already in the player's folder cannot be
// known here: the 8.3 name is the one an empty folder would give.
#pragma once

#include "plrapi/last_error.h"
#include "plrapi/title_bitmap.h"
#include "plrapi/upload_plan.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace plrapi {

// One file as the upload would be given it.
struct PreviewSource {
    const char* name = "";           // CPDFileInfo::GetFileName
    const char* extension = "";      // CPDFileInfo::GetFileExt
    uint64_t size = 0;               // CPDFileInfo::GetFileSize: the bytes that will be sent
    std::span<const uint8_t> first;  // the first block's bytes, at least its first 16 KiB
    std::span<const uint8_t> last;   // the bytes after `first` up to the end, or at least their last 128
};

struct UploadPreview {
    std::string longName;
    std::string shortName;           // "SONGON~1.MP3", "README": as on an empty folder
    UploadKind kind = UploadKind::Plain;
    uint64_t announcedSize = 0;      // what the upload announces, a title trailer counted
    bool titled = false;             // a title picture follows the data (music and voice)
    std::string titleText;           // bytes in the code page; empty unless titled
    RenderedTitle title;             // the picture of titleText
};

// The code of the refusal the upload would meet before sending a byte, none
// when `preview` was filled.
std::optional<LastError> PreviewUpload(const PreviewSource& source, UploadPreview& preview);

// The drawn columns of the title picture (at least one) as a PNG file, each
// pixel a square of `scale` pixels. False when it cannot be written.
bool WritePreviewPicture(const std::string& path, const UploadPreview& preview, int scale = 1);

} // namespace plrapi

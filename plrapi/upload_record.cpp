#include "plrapi/upload_record.h"

#include "platform/system/clock.h"
#include "plrapi/ascii_text.h"
#include "plrapi/record_fields.h"
#include "plrapi/short_name.h"
#include "plrapi/title_trailer.h"
#include "plrapi/voice_packer.h"
#include "plrapi/voice_wav_header.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <strings.h>

namespace plrapi {

namespace {

constexpr size_t BaseChars = 8;
constexpr size_t ExtensionChars = 3;
constexpr uint64_t MaxRecordSize = std::numeric_limits<uint32_t>::max();

int CachedRows(const DeviceState& state) { return std::clamp(state.entryCount, 0, TableRows); }

bool Collides(const DeviceState& state, const std::string& base, const std::string& extension) {
    for (int row = 0; row < CachedRows(state); ++row) {
        const FileRecord& cached = state.table[static_cast<size_t>(row)];
        if (std::strncmp(cached.baseName, base.c_str(), BaseChars) == 0 &&
            strncasecmp(ExtensionOf(cached), extension.c_str(), ExtensionChars) == 0) {
            return true;
        }
    }
    return false;
}

// Numbers the base on until no cached entry has its name.
void RemoveCollisions(const DeviceState& state, std::string& base, const std::string& extension) {
    for (int n = 1; n <= TableRows && Collides(state, base, extension); ++n) {
        if (!BumpShortNameTail(n, base)) {
            return;
        }
    }
}

// The size the player receives, or none when it exceeds 32 bits.
std::optional<uint64_t> AnnouncedSize(UploadKind kind, uint64_t pcSize) {
    uint64_t size = pcSize;
    if (kind == UploadKind::Voice) {
        size = PackedVoiceSize(pcSize) + TitleTrailerSize;
    } else if (kind == UploadKind::Titled) {
        size = pcSize + TitleTrailerSize;
    }
    return size <= MaxRecordSize ? std::optional<uint64_t>(size) : std::nullopt;
}

} // namespace

UploadKind KindOfUpload(const char* shortExtension) {
    for (const char* titled : {"MP3", "WMA", "MPE"}) {
        if (strcasecmp(shortExtension, titled) == 0) {
            return UploadKind::Titled;
        }
    }
    return strcasecmp(shortExtension, "ADP") == 0 ? UploadKind::Voice : UploadKind::Plain;
}

std::optional<LastError> BuildUploadRecord(CPDFileInfo& info, const DeviceState& state, UploadRecord& upload) {
    const char* name = info.GetFileName();
    const char* extension = info.GetFileExt();
    if (name == nullptr) {
        return LastError::NameUnusable;
    }
    const size_t nameBytes = strnlen(name, MaxUploadNameBytes + 1);
    const size_t extensionBytes = extension != nullptr ? strnlen(extension, MaxUploadNameBytes + 1) : 0;
    std::string longName(name, nameBytes);
    if (extensionBytes > 0) {
        longName += '.';
        longName.append(extension, extensionBytes);
    }
    // A character takes a byte at least: a short name needs no counting.
    if (longName.empty() || longName.size() > MaxUploadNameBytes ||
        (longName.size() > MaxUploadNameChars && ToWide(longName).size() > MaxUploadNameChars)) {
        return LastError::NameUnusable;
    }

    const auto shortName = MakeShortName(longName);
    if (!shortName) {
        return LastError::NameUnusable;
    }
    const size_t dot = shortName->text.rfind('.');
    std::string base = shortName->text.substr(0, dot);
    const std::string shortExtension = dot == std::string::npos ? std::string() : shortName->text.substr(dot + 1);
    if (base.empty()) {
        return LastError::NameUnusable;   // an entry of spaces only
    }
    if (shortName->shortened) {
        RemoveCollisions(state, base, shortExtension);
    } else if (shortExtension.empty()) {
        base.resize(BaseChars, ' ');
    }

    upload = UploadRecord{};
    upload.kind = KindOfUpload(shortExtension.c_str());
    upload.pcSize = info.GetFileSize();
    if (upload.kind == UploadKind::Voice && upload.pcSize < VoiceWavHeaderSize) {
        return LastError::NotVoiceWav;
    }
    const auto size = AnnouncedSize(upload.kind, upload.pcSize);
    if (!size) {
        return LastError::SizeTooLarge;
    }

    FileRecord& record = upload.record;
    std::memcpy(record.longName, longName.data(), longName.size());
    CopyText(record.baseName, sizeof record.baseName, base.c_str(), base.size());
    CopyText(record.extension, sizeof record.extension, shortExtension.c_str(), shortExtension.size());
    record.attribute = static_cast<uint8_t>(info.GetAttribMark());
    record.size = static_cast<uint32_t>(*size);
    const platform::SystemTime now = platform::GetSystemTime();
    record.year = now.year;
    record.month = now.month;
    record.day = now.day;
    record.hour = now.hour;
    record.minute = now.minute;
    record.second = now.second;
    return std::nullopt;
}

} // namespace plrapi

#include "plrapi/upload_plan.h"

#include "plrapi/ascii_text.h"
#include "plrapi/short_name.h"
#include "plrapi/title_trailer.h"
#include "plrapi/voice_packer.h"
#include "plrapi/voice_wav_header.h"

#include <cstring>
#include <limits>
#include <strings.h>

namespace plrapi {

namespace {

constexpr uint64_t MaxRecordSize = std::numeric_limits<uint32_t>::max();

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

std::string JoinLongName(const char* name, const char* extension) {
    std::string longName(name, strnlen(name, MaxUploadNameBytes + 1));
    const size_t extensionBytes = extension != nullptr ? strnlen(extension, MaxUploadNameBytes + 1) : 0;
    if (extensionBytes > 0) {
        longName += '.';
        longName.append(extension, extensionBytes);
    }
    return longName;
}

std::optional<LastError> PlanUpload(std::string_view longName, uint64_t pcSize, UploadPlan& plan) {
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
    plan = UploadPlan{};
    plan.base = shortName->text.substr(0, dot);
    plan.extension = dot == std::string::npos ? std::string() : shortName->text.substr(dot + 1);
    plan.shortened = shortName->shortened;
    if (plan.base.empty()) {
        return LastError::NameUnusable;   // an entry of spaces only
    }
    plan.kind = KindOfUpload(plan.extension.c_str());
    if (plan.kind == UploadKind::Voice && pcSize < VoiceWavHeaderSize) {
        return LastError::NotVoiceWav;
    }
    const auto size = AnnouncedSize(plan.kind, pcSize);
    if (!size) {
        return LastError::SizeTooLarge;
    }
    plan.announcedSize = *size;
    return std::nullopt;
}

} // namespace plrapi

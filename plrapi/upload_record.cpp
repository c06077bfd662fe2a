#include "plrapi/upload_record.h"

#include "platform/system/clock.h"
#include "plrapi/record_fields.h"
#include "plrapi/short_name.h"
#include "plrapi/storable_name.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <strings.h>

namespace plrapi {

namespace {

constexpr size_t BaseChars = 8;
constexpr size_t ExtensionChars = 3;

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

} // namespace

std::optional<LastError> BuildUploadRecord(CPDFileInfo& info, const DeviceState& state, UploadRecord& upload) {
    const char* name = info.GetFileName();
    const char* extension = info.GetFileExt();
    if (name == nullptr) {
        return LastError::NameUnusable;
    }
    const std::string longName = JoinLongName(name, extension);
    const uint64_t pcSize = info.GetFileSize();
    UploadPlan plan;
    if (const auto refused = PlanUpload(longName, pcSize, plan)) {
        return refused;
    }
    // Compared with the cached rows, which hold the names as stored.
    std::string base = StoredShortBase(plan.base);
    const std::string& shortExtension = plan.extension;
    if (plan.shortened) {
        RemoveCollisions(state, base, shortExtension);
    } else if (shortExtension.empty()) {
        base.resize(BaseChars, ' ');
    }

    upload = UploadRecord{};
    upload.kind = plan.kind;
    upload.pcSize = pcSize;

    FileRecord& record = upload.record;
    std::memcpy(record.longName, longName.data(), longName.size());
    CopyText(record.baseName, sizeof record.baseName, base.c_str(), base.size());
    CopyText(record.extension, sizeof record.extension, shortExtension.c_str(), shortExtension.size());
    record.attribute = static_cast<uint8_t>(info.GetAttribMark());
    record.size = static_cast<uint32_t>(plan.announcedSize);
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

#include "plrapi/cached_listing.h"

#include "plrapi/record_fields.h"
#include "plrapi/storable_name.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace plrapi {

namespace {

constexpr uint8_t FolderAttribute = 0x10;

} // namespace

void CacheRecord(FileRecord& listed, FileRecord& cached) {
    cached = FileRecord{};
    // The long name's extension; empty when the name has none.
    char longExtension[512] = {};
    if (static_cast<int16_t>(listed.longNameFlag) <= 0) {
        TrimTrailingSpaces(listed.baseName, sizeof listed.baseName);
        const std::string shown = ShownShortBase(std::string(listed.baseName, strnlen(listed.baseName, sizeof listed.baseName)));
        CopyText(cached.longName, sizeof cached.longName, shown.c_str(), shown.size());
    } else if (listed.attribute == FolderAttribute) {
        CopyText(cached.longName, sizeof cached.longName, listed.longName, sizeof listed.longName);
    } else {
        CopyText(cached.longName, sizeof cached.longName, listed.longName, sizeof listed.longName);
        if (char* dot = std::strrchr(cached.longName, '.'); dot != nullptr) {
            const char* after = dot + 1;
            CopyText(longExtension, sizeof longExtension, after,
                     sizeof cached.longName - static_cast<size_t>(after - cached.longName));
            *dot = '\0';
        }
    }
    TrimTrailingSpaces(listed.baseName, sizeof listed.baseName);
    TrimTrailingSpaces(listed.extension, sizeof listed.extension);
    CopyText(cached.baseName, sizeof cached.baseName, listed.baseName, sizeof listed.baseName);
    if (longExtension[0] != '\0') {
        CopyText(ExtensionOf(cached), ExtensionSpace, longExtension, sizeof longExtension);
    } else {
        CopyText(ExtensionOf(cached), ExtensionSpace, listed.extension, sizeof listed.extension);
    }
    cached.attribute = listed.attribute;
    cached.headerFlag = listed.headerFlag;
    cached.size = listed.size;
    cached.firstCluster = listed.firstCluster;
}

void CacheListing(StorageImage& image, DeviceState& state) {
    // A header may claim more files than entries follow: only filled records
    // (a listed entry never has an empty name) are cached.
    uint32_t cachedRows = 0;
    const uint32_t claimed = std::min<uint32_t>(image.entryCount, TableRows);
    while (cachedRows < claimed && image.records[cachedRows].baseName[0] != '\0') {
        ++cachedRows;
    }
    for (uint32_t row = 0; row < cachedRows; ++row) {
        CacheRecord(image.records[row], state.table[row]);
    }
    state.totalSpace = image.totalBytes;
    state.freeSpace = image.freeBytes;
    state.entryCount = static_cast<int32_t>(cachedRows);
    state.folderCount = static_cast<int32_t>(image.folderCount);
}

} // namespace plrapi

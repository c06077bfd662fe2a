// Reading the cached listing: its counts, and picking an entry as the
// current record.
#include "plrapi.h"
#include "plrapi/file_positions.h"
#include "plrapi/process_state.h"
#include "plrapi/record_fields.h"

using plrapi::LastError;
using plrapi::Process;

long CDeviceAPI::PlrGetFileCount(int /*unused*/) {
    const auto* state = Process().state;
    return state != nullptr ? state->entryCount : 0;
}

long CDeviceAPI::PlrGetFolderCount() {
    const auto* state = Process().state;
    return state != nullptr ? state->folderCount : 0;
}

long CDeviceAPI::PlrGetFIleInfo(int storage, int position, CPDFileInfo* /*info*/) {
    plrapi::DeviceState* state = plrapi::OpenState();
    if (state == nullptr) {
        return 0;
    }
    if (storage != state->storageIndex) {
        return plrapi::Fail(LastError::OtherStorage);
    }
    if (!plrapi::IsCachedRow(*state, position)) {
        return plrapi::Fail(LastError::PositionOutOfRange);
    }
    const FileRecord& row = state->table[static_cast<size_t>(position)];
    FileRecord& current = state->current;
    plrapi::CopyText(current.longName, sizeof current.longName, row.longName, sizeof row.longName);
    plrapi::CopyText(plrapi::ExtensionOf(current), plrapi::ExtensionSpace, plrapi::ExtensionOf(row),
                     plrapi::ExtensionSpace);
    current.attribute = row.attribute;
    current.size = row.size;
    current.firstCluster = row.firstCluster;
    return 1;
}

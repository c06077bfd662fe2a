// Creating, entering and removing folders, and the current folder's path.
// Each change lists the storage again, so the cache shows the folder now in
// force. Failures record no code, but for a name the player cannot store.
#include "plrapi.h"
#include "plrapi/folder_names.h"
#include "plrapi/process_state.h"
#include "plrapi/storable_name.h"

using plrapi::LastError;

namespace {

constexpr int FullTable = plrapi::TableRows - 1;

} // namespace

long CDeviceAPI::PlrCreateDirectory(int storage, const char* name, unsigned long /*unused*/) {
    plrapi::DeviceState* state = plrapi::OpenState();
    if (state == nullptr) {
        return 0;
    }
    if (state->entryCount > FullTable) {
        return plrapi::Fail(LastError::TableFull);
    }
    if (name != nullptr && !plrapi::FitsNewFolder(name)) {
        return 0;
    }
    // The player would store the name's 8.3 form without it and its long
    // name with it, a name no reader of its file system accepts.
    if (name != nullptr && plrapi::FindUnstorableCharacter(plrapi::NewFolderName(name))) {
        return plrapi::Fail(LastError::NameNotStorable);
    }
    if (dll_fn_CreateDirectory(storage, name) != 0) {
        return 0;
    }
    CStorageInfo* info = nullptr;
    PlrGetStorageInfo(storage, info);
    return 1;
}

long CDeviceAPI::PlrSetCurrentDirectory(int storage, const char* name) {
    plrapi::DeviceState* state = plrapi::OpenState();
    if (state == nullptr) {
        return 0;
    }
    uint32_t folder = 0;
    if (name != nullptr && *name != '\0') {
        const auto found = plrapi::FindFolderId(*state, name);
        if (!found) {
            return 0;
        }
        folder = *found;
    }
    if (dll_fn_SetCurrentDirectory(storage, static_cast<int>(folder)) != 0) {
        return 0;
    }
    CStorageInfo* info = nullptr;
    PlrGetStorageInfo(storage, info);
    return 1;
}

long CDeviceAPI::PlrRemoveDirectory(int storage, const char* name) {
    plrapi::DeviceState* state = plrapi::OpenState();
    if (state == nullptr) {
        return 0;
    }
    const auto folder = plrapi::FindFolderId(*state, name);
    if (!folder || dll_fn_RemoveDirectory(storage, static_cast<int>(*folder)) != 0) {
        return 0;
    }
    CStorageInfo* info = nullptr;
    PlrGetStorageInfo(storage, info);
    return 1;
}

long CDeviceAPI::PlrGetCurrentDirectory(int storage, char* buffer, int size) {
    if (plrapi::OpenState() == nullptr) {
        return 0;
    }
    return dll_fn_GetCurrentDirectory(storage, buffer, size) == 0 ? 1 : 0;
}

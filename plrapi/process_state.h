// The library's process-wide variables: whichever CDeviceAPI object a member
// is called on, it works on these. No locks: callers use the library from one
// thread at a time.
#pragma once

#include "plrapi.h"
#include "plrapi/device_state.h"
#include "plrapi/last_error.h"

#include <cstdint>

namespace plrapi {

struct ProcessState {
    CDeviceAPI* instance = nullptr;       // the one OpenDevice hands out
    DeviceState* state = nullptr;         // exists whenever `open` is true
    CDeviceInfo* deviceInfo = nullptr;
    CStorageInfo* storageInfo = nullptr;
    bool open = false;
    int32_t lastError = 0;                // sticky: only failures change it
    bool sectionOk = false;
};

ProcessState& Process();

// Records `code` as the last error; returns 0, the failure result.
long Fail(LastError code);
long Fail(int32_t code);

// The state of an open API, or null after recording code 1.
DeviceState* OpenState();

// The common start of an upload or a download: the API open and the player
// present (else code 1), then `storage` becomes the transfer's storage.
// The state, or null.
DeviceState* StartTransfer(int storage);

} // namespace plrapi

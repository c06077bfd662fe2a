#include "plrapi/process_state.h"

#include "portio.h"

namespace plrapi {

namespace {

constinit ProcessState process;

} // namespace

ProcessState& Process() { return process; }

long Fail(int32_t code) {
    process.lastError = code;
    return 0;
}

long Fail(LastError code) { return Fail(static_cast<int32_t>(code)); }

DeviceState* OpenState() {
    if (!process.open || process.state == nullptr) {
        Fail(LastError::Unavailable);
        return nullptr;
    }
    return process.state;
}

DeviceState* StartTransfer(int storage) {
    DeviceState* state = OpenState();
    if (state == nullptr) {
        return nullptr;
    }
    if (dll_fn_FindDeivce() != 0) {
        Fail(LastError::Unavailable);
        return nullptr;
    }
    state->storageIndex = storage;
    return state;
}

} // namespace plrapi

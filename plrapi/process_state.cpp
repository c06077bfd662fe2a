#include "plrapi/process_state.h"

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

} // namespace plrapi

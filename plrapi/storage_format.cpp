// Formatting a storage, with or without progress messages.
#include "plrapi.h"
#include "plrapi/process_state.h"
#include "plrapi/transfer_timeouts.h"

#include <cstdint>

using plrapi::LastError;

long CDeviceAPI::PlrFormat(int storage) {
    if (plrapi::OpenState() == nullptr) {
        return 0;
    }
    if (dll_fn_format_device(storage, nullptr, 0, 0) != 0) {
        return plrapi::Fail(LastError::FormatFailed);
    }
    return 1;
}

long CDeviceAPI::PlrFormat(int storage, PORTIO_HWND window, int message, int mode) {
    if (plrapi::OpenState() == nullptr) {
        return 0;
    }
    plrapi::SetLongTimeouts();
    const int result = dll_fn_format_device(storage, window, message, mode);
    plrapi::SetNormalTimeouts();
    if (result != 0) {
        // The mode is added as the caller gave it; wrapped, never overflowing.
        const uint32_t code = static_cast<uint32_t>(LastError::FormatFailed) + static_cast<uint32_t>(mode);
        return plrapi::Fail(static_cast<int32_t>(code));
    }
    return 1;
}

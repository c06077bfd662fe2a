// Downloading the player's font: announce it, send its bytes, close.
#include "plrapi.h"
#include "plrapi/process_state.h"
#include "plrapi/transfer_timeouts.h"

#include <algorithm>
#include <cstdint>
#include <limits>

using plrapi::LastError;

namespace {

constexpr unsigned long ChunkSize = 32768;

} // namespace

long CDeviceAPI::PlrDownloadFont(const char* name, unsigned long size) {
    if (plrapi::OpenState() == nullptr) {
        return 0;
    }
    plrapi::SetLongTimeouts();
    // The player is told the size in 32 bits.
    if (size > std::numeric_limits<uint32_t>::max() || dll_fn_DownloadFont(name, static_cast<uint32_t>(size)) != 0) {
        return plrapi::Fail(LastError::FontFailed);
    }
    return 1;
}

long CDeviceAPI::PlrWriteFontData(unsigned char* data, unsigned long length) {
    if (plrapi::OpenState() == nullptr) {
        return 0;
    }
    if (length == 0) {
        return 0;
    }
    if (data == nullptr) {
        return plrapi::Fail(LastError::FontFailed);
    }
    for (unsigned long at = 0; at < length; at += ChunkSize) {
        const auto piece = static_cast<uint32_t>(std::min(ChunkSize, length - at));
        if (dll_fn_Write_file(data + at, piece) != 0) {
            return plrapi::Fail(LastError::FontFailed);
        }
    }
    return 1;
}

long CDeviceAPI::PlrWriteFontClose() {
    if (plrapi::OpenState() == nullptr) {
        return 0;
    }
    dll_fn_Close_Writefile();
    plrapi::SetNormalTimeouts();
    return 1;
}

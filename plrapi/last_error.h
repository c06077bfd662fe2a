// The codes the last error takes (plrapi.h lists them for callers).
#pragma once

#include <cstdint>

namespace plrapi {

enum class LastError : int32_t {
    Unavailable = 1,          // closed API, no player, failed version/dock/status request
    DeleteRefused = 9,
    ListingFailed = 10,
    WriteFailed = 11,
    TableFull = 12,           // also: a listing of more than 256 entries
    PositionOutOfRange = 13,  // a position outside the cached listing
    OtherStorage = 14,
    FormatFailed = 34,        // the window format adds its mode
    FontFailed = 35,
};

} // namespace plrapi

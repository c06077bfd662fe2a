// The codes the last error takes (plrapi.h lists them for callers).
#pragma once

#include <cstdint>

namespace plrapi {

enum class LastError : int32_t {
    Unavailable = 1,          // closed API, no player, failed version/dock/status request
    DeleteRefused = 9,
    ListingFailed = 10,
    ReadFailed = 10,          // opening a player file for reading, or a read
    WriteFailed = 11,
    TableFull = 12,           // also: a listing of more than 256 entries
    PositionOutOfRange = 13,  // a position outside the cached listing
    OtherStorage = 14,
    NameUnusable = 15,        // an upload's name: missing, empty, or too long for the record or the player
    SizeTooLarge = 16,        // an upload's size with what the player adds exceeds 32 bits
    NotVoiceWav = 17,         // a voice upload that is not the 48-byte IMA ADPCM WAV form
    NameNotStorable = 18,     // a new folder's name holds a character the player's file system cannot store
    FormatFailed = 34,        // the window format adds its mode
    FontFailed = 35,
};

} // namespace plrapi

// What an operation of the protocol library came to. The values are the
// exports' result codes, which callers compare against numbers.
#pragma once

namespace portio {

enum class Result : int {
    Ok = 0,
    NotPresent = 1,             // the player is not in the device list
    Unreachable = 2,            // no link to the player (status check failed five times, or no link)
    NoReply = 3,                // a read failed or the reply is not the expected one
    WriteFailed = 4,            // a write of file data failed
    NotSent = 5,                // the command block was not sent
    NoRoom = 6,                 // the player refused a file write: no room
    FolderFullOrNameTaken = 8,  // the player refused a file write: folder full or name taken
    Invalid = 9,                // no valid identification, no link to cancel, or a malformed directory image
    Failed = -1,                // folder operations and the font download: any failure
};

// The export's int for a result.
constexpr int Code(Result result) { return static_cast<int>(result); }

} // namespace portio

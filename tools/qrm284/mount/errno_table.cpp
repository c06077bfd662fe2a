#include "tools/qrm284/mount/errno_table.h"

#include <cerrno>

namespace qrm284::mount {

int ErrnoForApiError(long code, bool playerGone) {
    if (playerGone) {
        return ENODEV;
    }
    switch (code) {
    case 1: return ENODEV;         // not present, or it did not answer its status check
    case 12: return ENOSPC;        // the listing is full, or no room for the file
    case 13: return ENOENT;        // the position left the cached listing
    case 15: return ENAMETOOLONG;  // more than the directory entries hold
    case 16: return EFBIG;         // with the trailer, more than 32 bits
    case 17: return EINVAL;        // a WAV the recorder's form does not take
    default: return EIO;           // 9, 10, 11, 14: the player refused or a transfer failed
    }
}

} // namespace qrm284::mount

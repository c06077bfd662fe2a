// What a program on the mount is told when the player did not do what it asked.
#pragma once

namespace qrm284::mount {

// The errno for a failed device-API operation, from the API's last-error
// code; ENODEV once the player has gone, whatever the code.
int ErrnoForApiError(long code, bool playerGone);

} // namespace qrm284::mount

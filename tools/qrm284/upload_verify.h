// put --verify: a file just uploaded, read back through the device API and
// compared with what was sent. The API returns music without its title
// trailer, so a music file compares byte for byte with the file on this
// computer; a voice recording compares by its ADPCM blocks, from byte 48 of
// the WAV form it was sent in, since the API writes the 48-byte header it
// returns from its own fields (the byte rate, for one, may differ).
#pragma once

#include "tools/qrm284/device_session.h"
#include "tools/qrm284/upload_source.h"

#include <cstdint>

namespace qrm284 {

struct VerifyOutcome {
    enum class Result { Same, Differs, Unreadable, Cancelled };
    Result result = Result::Same;
    uint64_t offset = 0;   // Differs: the first byte that is not what was sent
};

// Reads the file `source` became in the current folder; nothing is changed.
VerifyOutcome VerifyUpload(DeviceSession& session, const UploadSource& source);

} // namespace qrm284

// The record that announces an upload to the player: long name, a unique
// 8.3 name, attribute, the size the player will receive, the time.
#pragma once

#include "plrapi.h"
#include "plrapi/device_state.h"
#include "plrapi/last_error.h"
#include "plrapi/upload_plan.h"

#include <cstdint>
#include <optional>

namespace plrapi {

struct UploadRecord {
    FileRecord record{};
    UploadKind kind = UploadKind::Plain;
    uint64_t pcSize = 0;   // the PC file's size
};

// Builds the record for the file `info` describes, its short name made
// unique against the cached listing when it had to be shortened. The code of
// a refusal, none when the record was built.
std::optional<LastError> BuildUploadRecord(CPDFileInfo& info, const DeviceState& state, UploadRecord& upload);

} // namespace plrapi

// Writing the application code into the player: set-up, erase, program
// command, the image in 512-byte blocks, and the player's confirmation.
#pragma once

#include "updater/engine/code_area_erase.h"
#include "updater/engine/engine_link.h"
#include "updater/wizard/sheet.h"

#include <string>

namespace updater {

// Replies the download waits through for the OK reply after the last block.
inline constexpr int MaxCompletionReplies = 2000;

// Streams the flat image at `flatPath` to the player over `link`: the set-up
// command (payload 0x10, setupByte), the erase, the program command with the
// block count, the blocks (the last one zero-padded), then replies until the
// OK reply. Progress goes to the sheet as WM_WIZ_PROGRESS 2 (at most 98
// until the OK reply, then 100). False for an empty image or one over 65,535
// blocks (before anything is sent), and for any failed transfer, a program
// command not accepted, or 2,000 replies without the OK reply.
bool DownloadFirmwareImage(Sheet& sheet, UsbLink* link, uint8_t setupByte, const std::string& flatPath);

// Players running application firmware of this version or later need no
// format and font download after the firmware step (1.43.15).
inline constexpr uint32_t NoFormatFromVersion = 0x14315;

// The thread of page 4: converts the carried image, writes it and tells the
// user what comes next. 1 on success, 0 on failure.
unsigned FirmwareUpdateWorker(Sheet& sheet);

} // namespace updater

// Writing the application code into the player: set-up, erase, program
// command, the image in 512-byte blocks, and the player's confirmation.
#pragma once

#include "updater/engine/engine_link.h"
#include "updater/engine/progress.h"

#include <string>

namespace updater {

// Replies the download waits through for the OK reply after the last block.
inline constexpr int MaxCompletionReplies = 2000;

// Streams the flat image at `flatPath` to the player over `link`: the set-up
// command (payload 0x10, setupByte; its reply is not examined), the erase,
// the program command with the block count, the blocks (the last one
// zero-padded), then replies until the OK reply. Phases: SetUp (ends before
// the erase), Erase, Program (a percentage per change, at most 98 until the
// OK reply, then 100). NoFile for a missing image, BadFile for an empty one
// or one over 65,535 blocks (before anything is sent); Refused for a program command not
// accepted; Unfinished after 2,000 replies without the OK reply.
Outcome DownloadFirmwareImage(UsbLink* link, uint8_t setupByte, const std::string& flatPath, Progress& progress);

// Players running application firmware of this version or later need no
// format and font download after the firmware step (1.43.15).
inline constexpr uint32_t NoFormatFromVersion = 0x14315;

// Whether the format and the font download follow the firmware step for a
// player that ran application firmware (or boot code) of `version`.
bool FormatFollowsFirmware(bool appFirmware, uint32_t version);

} // namespace updater

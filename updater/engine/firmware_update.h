// The firmware step as a whole: the carried image made flat and written to
// the player on a link of its own, with the long read time-out.
#pragma once

#include "updater/engine/progress.h"

#include <cstdint>

namespace updater {

// The player restarts after the download: a front end looks for it again
// after this pause.
inline constexpr uint32_t RestartPauseMs = 500;

// Converts the carried HEX image into a temporary flat image, raises the read
// time-out to 3,000,000 ms, opens a new engine link and downloads the image
// (see DownloadFirmwareImage). Done: the temporary files are gone, the link
// closed and the read time-out back at 300,000 ms. LinkFailed: the player
// could not be reached (no phase began). Any other outcome: the link closed
// and the files gone, the time-out left raised.
Outcome UpdateFirmware(Progress& progress);

} // namespace updater

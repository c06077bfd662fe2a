// The format of the player's whole storage that follows a firmware update
// from old firmware.
#pragma once

#include "updater/engine/progress.h"

namespace updater {

// The storage the format after a firmware update is for: 'M'.
inline constexpr int MainStorage = 0;

// Replies the format waits through for the OK reply once progress reached 99.
inline constexpr int MaxFormatEndReplies = 1000;

// Formats the storage of `groupIndex` with "LD" on a new engine link. The
// Format phase begins before the link opens and ends on every exit. Every
// progress reply is reported with its percentage until one reaches 99; then
// up to 1,000 replies for the OK reply. An OK reply among the progress
// replies (a player whose steps skip 99) ends the format at once. The link is
// closed on every exit.
Outcome FormatStorage(int groupIndex, Progress& progress);

// FormatStorage of the main storage with the long read time-out, set back to
// the usual one afterwards.
Outcome FormatMainStorage(Progress& progress);

} // namespace updater

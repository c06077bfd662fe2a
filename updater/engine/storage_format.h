// The format of the player's whole storage that follows a firmware update
// from old firmware.
#pragma once

#include "updater/wizard/sheet.h"

namespace updater {

// Replies the format waits through for the OK reply once progress reached 99.
inline constexpr int MaxFormatEndReplies = 1000;

// Formats the storage of `groupIndex` with "LD" on a new engine link: every
// progress reply goes to the sheet as `message` with wParam 2 and its
// percentage, until one reaches 99; then up to 1,000 replies for the OK
// reply. 0 on success, -1 on failure (a link that cannot be opened sets the
// range 0..0 first). The link is closed on every exit.
int FormatWholeStorage(int groupIndex, Sheet& sheet, UINT message);

// The first thread of page 5: formats the storage 'M', then starts
// FontDownloadWorker. Shows text 120 and offers Finish when the format fails.
// 0 when its link cannot be opened, 1 otherwise.
unsigned FormatWorker(Sheet& sheet);

} // namespace updater

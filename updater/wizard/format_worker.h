// Page 5's first thread: the format of the whole storage.
#pragma once

#include "updater/wizard/sheet.h"

namespace updater {

// Opens a link to see that the player is there, shows the bar and formats
// the main storage (FormatMainStorage) with the sheet's progress, then
// starts FontDownloadWorker. Shows text 120, offers Finish and clears
// g_bBusy when the format fails. 0 when its first link cannot be opened,
// 1 otherwise.
unsigned FormatWorker(Sheet& sheet);

} // namespace updater

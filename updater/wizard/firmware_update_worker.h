// Page 4's thread: the firmware step on the sheet, and what comes after it.
#pragma once

#include "updater/wizard/sheet.h"

namespace updater {

// Shows the bar, runs the firmware step (UpdateFirmware) with the sheet's
// progress, and tells the user what comes next: text 122 and Finish when no
// format follows, else text 113, a pause of about half a second that keeps
// this thread's messages flowing while the player restarts, and
// PlayerDetectWorker for its return in USB mode. A failed step shows text
// 119 and offers Finish. Clears g_bBusy. 1 on success, 0 on failure.
unsigned FirmwareUpdateWorker(Sheet& sheet);

} // namespace updater

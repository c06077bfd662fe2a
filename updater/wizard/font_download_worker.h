// Page 5's second thread: the carried font.
#pragma once

#include "updater/wizard/sheet.h"

namespace updater {

// Shows text 118, writes the carried font through a temporary file
// (DownloadCarriedFont) with the sheet's progress, and ends
// the wizard with text 122 or 121, the bar hidden, Finish and g_bBusy
// cleared. A file that cannot be opened gets the system's text in a message
// box first. 1 on success, 0 on failure.
unsigned FontDownloadWorker(Sheet& sheet);

} // namespace updater

// Erasing the player's application code area before it is programmed.
#pragma once

#include "updater/engine/engine_link.h"
#include "updater/wizard/sheet.h"

#include <atomic>

namespace updater {

// Tells EraseTimerWorker to stop; set while no erase runs.
extern std::atomic<bool> g_bStopEraseTimer;

// Erases the application code area: counted (the player reports a total and
// each step) or, when the player answers the counted command otherwise,
// with the plain erase command and EraseTimerWorker moving the bar.
bool EraseCodeArea(Sheet& sheet, UsbLink* link);

// Moves the bar over 20 seconds while an erase without counts runs, until
// g_bStopEraseTimer is set; ends with position 100. Returns 1.
unsigned EraseTimerWorker(Sheet& sheet);

} // namespace updater

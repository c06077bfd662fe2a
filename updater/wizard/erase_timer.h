// The bar that moves while a plain erase runs: the player says nothing until
// the erase is done, so time stands in for its progress.
#pragma once

#include "updater/wizard/sheet.h"

#include <atomic>
#include <functional>

namespace updater {

// Tells the erase timer to stop; set while no erase runs.
extern std::atomic<bool> g_bStopEraseTimer;

// Moves a bar over 20 seconds in 200 ms steps, giving each changed position
// to `position`, until `stop` is set; ends with position 100.
void RunEraseTimer(const std::atomic<bool>& stop, const std::function<void(LPARAM)>& position);

// RunEraseTimer on the sheet's bar (WM_WIZ_PROGRESS 2) until
// g_bStopEraseTimer is set. Returns 1.
unsigned EraseTimerWorker(Sheet& sheet);

} // namespace updater

// Page 2's wait for the player, and page 4's for its return after the
// firmware step.
#pragma once

#include "updater/wizard/sheet.h"

namespace updater {

// The thread of page 2, and of page 4 after the firmware step: waits for the
// player (WaitForPlayer) until the sheet closes, then posts Next (clearing
// g_bReconnectExpected) when a reconnection was expected, Back and Next
// otherwise. Returns 1, or 0 when the sheet closed first.
unsigned PlayerDetectWorker(Sheet& sheet);

} // namespace updater

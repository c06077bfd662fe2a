// Erasing the player's application code area before it is programmed.
#pragma once

#include "updater/engine/engine_link.h"
#include "updater/engine/progress.h"

namespace updater {

// Erases the application code area on `link`: counted (the player reports a
// total and each step; Begin(Erase, Counted), each changed percentage, then 0
// while the closing reply is awaited) or, when the player answers the counted
// command otherwise, with the plain erase command that answers once, when
// done (Begin(Erase, Uncounted)). Ends the erase phase in every case.
Outcome EraseCodeArea(UsbLink* link, Progress& progress);

} // namespace updater

// What the other pages do when they become active: their text, their
// buttons, the wizard state, and the worker each starts. Page 3 is in
// version_page.h.
#pragma once

#include "updater/wizard/sheet.h"

namespace updater {

// Page 1: text 110, buttons off, CloseManagersWorker.
void ActivateIntroPage(Sheet& sheet);
// Page 2: text 115, buttons off, no reconnection expected, PlayerDetectWorker.
void ActivateConnectPage(Sheet& sheet);
// Page 4: text 114, bar 0..100, buttons off, busy, FirmwareUpdateWorker.
void ActivateFirmwarePage(Sheet& sheet);
// Page 5: text 117, bar 0..100, buttons off, busy, FormatWorker.
void ActivateFormatPage(Sheet& sheet);

// The sheet's command filter: true when a click on the control is swallowed
// (Cancel, ID 2, while a long operation runs).
bool SwallowsCommand(int controlId);

} // namespace updater

// Page 3: the player's running firmware next to the one the updater carries,
// and the question before replacing firmware that is already that new.
#pragma once

#include "updater/wizard/sheet.h"

#include <string>

namespace updater {

// The version the updater carries, as page 3 shows it.
inline constexpr const char* CarriedVersionText = "1.43.22";
inline constexpr const char* WizardCaption = "Fw Loader";

// Page 3's activation, on the window thread: reads the identity, sets the
// version text, g_bAppFirmware and g_dwPlayerVersion, the information text
// (111, or 112 and Finish when the player cannot be read) and the buttons.
void ActivateVersionPage(Sheet& sheet);

// True when replacing the running firmware needs a yes first: application
// firmware shown as the carried version or later (compared as text).
bool AsksBeforeReplacing(bool appFirmware, const std::string& shownVersion);

// Leaving page 3 with Next: for application firmware shown as 1.43.22 or
// later, asks text 116; No offers Finish with text 123 and returns -1 (stay),
// otherwise 0 (go on to page 4).
int LeaveVersionPage(Sheet& sheet);

} // namespace updater

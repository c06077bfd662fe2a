// The player's identification text as info and devices show it: the mode
// word apart, the version in the updater's notation ("1.43.10").
#pragma once

#include <string>

namespace qrm284 {

struct FirmwareText {
    std::string mode;      // APPL (application firmware), BOOT (boot code)
    std::string version;   // "1.43.10"; the player's own text when it is not digits "1.4310"
};

// "APPL 1.4310" -> {"APPL", "1.43.10"}.
FirmwareText SplitFirmwareText(const std::string& identity);

} // namespace qrm284

// Waiting until the device list shows the player in its USB mode.
#pragma once

#include "platform/usb/usb_driver.h"
#include "updater/wizard/sheet.h"

#include <vector>

namespace updater {

// True when a device of the USB setup class has an instance ID holding both
// "VID_0F9C" and "PID_0301" (case-sensitive).
bool ListsPlayer(const std::vector<platform::usb::PresentDevice>& devices);

// The thread of page 2, and of page 4 after the firmware step: scans the
// device list without pause until it has seen the player in two scans with
// 500 ms after the first sighting, then posts Next (clearing
// g_bReconnectExpected) when a reconnection was expected, Back and Next
// otherwise. Returns 1, or 0 when the sheet closed first.
unsigned PlayerDetectWorker(Sheet& sheet);

} // namespace updater

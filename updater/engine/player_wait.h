// Waiting until the device list shows the player in its USB mode.
#pragma once

#include "platform/usb/usb_driver.h"
#include "updater/engine/outcome.h"

#include <functional>
#include <vector>

namespace updater {

// Pause after a scan that did not see the player, so that the wait neither
// spins nor floods a remote device list with requests.
inline constexpr uint32_t MissedScanPauseMs = 100;
// Pause after the first sighting, before the look that confirms it.
inline constexpr uint32_t SecondLookDelayMs = 500;

// True when a device of the USB setup class has an instance ID holding both
// "VID_0F9C" and "PID_0301" (case-sensitive).
bool ListsPlayer(const std::vector<platform::usb::PresentDevice>& devices);

// Scans the device list until it has seen the player in two scans with
// 500 ms after the first sighting (the second sighting need not be the next
// scan), pausing 100 ms after every scan that misses. Done, or Abandoned
// once `giveUp` (asked before every scan) says so.
Outcome WaitForPlayer(const std::function<bool()>& giveUp);

} // namespace updater

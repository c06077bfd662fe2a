// Finding the player in the operating system's list of present devices.
#pragma once

#include "platform/usb/usb_driver.h"

#include <cstdint>
#include <span>
#include <vector>

namespace usblink {

// True when a device of the USB setup class (its GUID in any case) has an
// instance ID holding "VID_0F9C" and the "PID_xxxx" text of one of the
// product IDs, anywhere and in either order. The texts are matched as
// written: upper-case hex.
bool IsPlayerListed(const std::vector<platform::usb::PresentDevice>& devices,
                    std::span<const uint16_t> productIds);

} // namespace usblink

#include "usblink/player_presence.h"

#include "usblink/link_settings.h"

#include <cstdio>
#include <string>
#include <strings.h>

namespace usblink {

bool IsPlayerListed(const std::vector<platform::usb::PresentDevice>& devices,
                    std::span<const uint16_t> productIds) {
    for (const auto& device : devices) {
        if (strcasecmp(device.classGuid.c_str(), platform::usb::UsbDeviceClassGuid) != 0) {
            continue;
        }
        for (uint16_t productId : productIds) {
            char vendorText[16];
            char productText[16];
            std::snprintf(vendorText, sizeof vendorText, "VID_%04X", PlayerVendorId);
            std::snprintf(productText, sizeof productText, "PID_%04X", productId);
            if (device.instanceId.find(vendorText) != std::string::npos &&
                device.instanceId.find(productText) != std::string::npos) {
                return true;
            }
        }
    }
    return false;
}

} // namespace usblink

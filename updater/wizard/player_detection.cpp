#include "updater/wizard/player_detection.h"

#include "updater/wizard/wizard_state.h"

#include "platform/system/clock.h"

#include <strings.h>

namespace updater {

namespace {

constexpr uint32_t SecondLookDelayMs = 500;

} // namespace

bool ListsPlayer(const std::vector<platform::usb::PresentDevice>& devices) {
    for (const auto& device : devices) {
        // Class GUIDs are the same GUID whatever the case of their hex digits.
        if (strcasecmp(device.classGuid.c_str(), platform::usb::UsbDeviceClassGuid) != 0) {
            continue;
        }
        if (device.instanceId.find("VID_0F9C") != std::string::npos &&
            device.instanceId.find("PID_0301") != std::string::npos) {
            return true;
        }
    }
    return false;
}

unsigned PlayerDetectWorker(Sheet& sheet) {
    bool seenOnce = false;
    for (;;) {
        if (sheet.Closing()) {
            return 0;
        }
        if (!ListsPlayer(platform::usb::ListPresentDevices())) {
            continue;
        }
        if (seenOnce) {
            break;
        }
        seenOnce = true;
        platform::Sleep(SecondLookDelayMs);
    }
    if (g_bReconnectExpected) {
        PostButtons(sheet, PSWIZB_NEXT);
        g_bReconnectExpected = 0;
    } else {
        PostButtons(sheet, PSWIZB_BACK | PSWIZB_NEXT);
    }
    return 1;
}

} // namespace updater

#include "updater/engine/player_wait.h"

#include "platform/system/clock.h"
#include "usblink/link_settings.h"
#include "usblink/player_presence.h"

namespace updater {

bool ListsPlayer(const std::vector<platform::usb::PresentDevice>& devices) {
    return usblink::IsPlayerListed(devices, usblink::UpdaterProductIds);
}

Outcome WaitForPlayer(const std::function<bool()>& giveUp) {
    bool seenOnce = false;
    for (;;) {
        if (giveUp()) {
            return Outcome::Abandoned;
        }
        if (!ListsPlayer(platform::usb::ListPresentDevices())) {
            platform::Sleep(MissedScanPauseMs);
            continue;
        }
        if (seenOnce) {
            return Outcome::Done;
        }
        seenOnce = true;
        platform::Sleep(SecondLookDelayMs);
    }
}

} // namespace updater

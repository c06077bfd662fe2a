#include "updater/engine/engine_link.h"

#include <atomic>

namespace updater {

namespace {

std::atomic<UsbLink*> engineLink{nullptr};

} // namespace

usblink::Link& EngineLinkLayer() {
    static usblink::Link layer(usblink::UpdaterSettings);
    return layer;
}

UsbLink* EngineLink() { return engineLink.load(); }

UsbLink* ReopenEngineLink() {
    CloseEngineLink();
    UsbLink* link = EngineLinkLayer().OpenLink();
    engineLink = link;
    return link;
}

int CloseEngineLink() {
    if (UsbLink* link = engineLink.exchange(nullptr)) {
        EngineLinkLayer().CloseLink(link);
    }
    return 1;
}

void SetLinkTimeouts(uint32_t readMs, uint32_t writeMs) {
    EngineLinkLayer().SetTimeouts(static_cast<int32_t>(readMs), static_cast<int32_t>(writeMs));
}

} // namespace updater

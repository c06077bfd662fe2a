#include "updater/engine/engine_link.h"

#include <atomic>

namespace updater {

namespace {

std::atomic<UsbLink*> engineLink{nullptr};

} // namespace

UsbLink* EngineLink() { return engineLink.load(); }

UsbLink* ReopenEngineLink() {
    CloseEngineLink();
    Link layer;
    UsbLink* link = layer.OpenLink();
    engineLink = link;
    return link;
}

int CloseEngineLink() {
    if (UsbLink* link = engineLink.exchange(nullptr)) {
        Link().CloseLink(link);
    }
    return 1;
}

void SetLinkTimeouts(uint32_t readMs, uint32_t writeMs) {
    Link::SetTimeouts(static_cast<int32_t>(readMs), static_cast<int32_t>(writeMs));
}

bool IsEngineReplyOk(const uint8_t* reply) {
    const uint8_t length = reply[2];
    // Byte n + 2 lies inside the 512-byte block for every length byte.
    return length >= 3 && reply[0] == '#' && reply[3] == ':' && reply[length + 2] == '.' && reply[4] == 0;
}

bool SendCommand(UsbLink* link, int form, int groupIndex, uint16_t code, const uint8_t* payload,
                 size_t payloadLength) {
    portio::Block& block = Link::BlockBuffer();
    if (!portio::BuildCommandBlock(block, form, groupIndex, code, payload, payloadLength)) {
        return false;
    }
    return Link().BulkWrite(link, PipeCommands, block.data(), portio::BlockSize) > 0;
}

bool ReadReply(UsbLink* link, portio::Block& reply) {
    return Link().BulkRead(link, PipeReplies, reply.data(), portio::BlockSize) > 0;
}

} // namespace updater

#include "portio/protocol_state.h"

#include "portio.h"

namespace portio {

LinkLayer& Link() {
    static LinkLayer layer;
    return layer;
}

UsbLink*& CurrentLink() {
    static UsbLink* link = nullptr;
    return link;
}

uint32_t& FirmwareVersion() {
    static uint32_t version = 0;
    return version;
}

void CloseCurrentLink() {
    Link().CloseLink(CurrentLink());
    CurrentLink() = nullptr;
}

bool OpenCurrentLink() {
    CloseCurrentLink();
    CurrentLink() = Link().OpenLink();
    return CurrentLink() != nullptr;
}

bool SendCommand(UsbLink* link, int form, int groupIndex, uint16_t code, const uint8_t* payload,
                 size_t payloadLength) {
    Block& block = LinkLayer::BlockBuffer();
    if (!BuildCommandBlock(block, form, groupIndex, code, payload, payloadLength)) {
        return false;
    }
    return Link().BulkWrite(link, usblink::PipeCommands, block.data(), BlockSize) > 0;
}

bool ReadReply(UsbLink* link, Block& reply) {
    return Link().BulkRead(link, usblink::PipeReplies, reply.data(), BlockSize) >= 0;
}

int Exchange(int form, int groupIndex, uint16_t code, const uint8_t* payload, size_t payloadLength, Block& reply) {
    if (!SendCommand(CurrentLink(), form, groupIndex, code, payload, payloadLength)) {
        CloseCurrentLink();
        return 5;
    }
    if (!ReadReply(CurrentLink(), reply)) {
        CloseCurrentLink();
        return 3;
    }
    return 0;
}

bool IsPlayerReachable() {
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (dll_fn_get_player_status() == 0) {
            return true;
        }
    }
    return false;
}

} // namespace portio

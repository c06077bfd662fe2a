#include "wire/command_block.h"

#include <algorithm>

namespace wire {

namespace {

constexpr char Groups[] = "GCMSU";
constexpr size_t HeaderSize = 4;   // '#', 0, length, ':'

} // namespace

char GroupLetter(int groupIndex) {
    if (groupIndex < GroupIndexMin || groupIndex > GroupIndexMax) {
        return 0;
    }
    return Groups[groupIndex - GroupIndexMin];
}

size_t MaxPayload(int form) {
    switch (form) {
    case FormCode: return 506;
    case FormGroupCode:
    case FormFileWrite: return 505;
    case FormGroupWord: return 504;
    case FormGroupLength: return 502;
    default: return 0;
    }
}

bool BuildCommandBlock(Block& block, int form, int groupIndex, uint16_t code, const uint8_t* payload,
                       size_t payloadLength) {
    if (form < FormCode || form > FormGroupLength) {
        return false;
    }
    const char group = GroupLetter(groupIndex);
    if ((form != FormCode && group == 0) || payloadLength > MaxPayload(form) ||
        (payloadLength > 0 && payload == nullptr)) {
        return false;
    }
    block.fill(0);
    block[0] = '#';
    block[1] = 0;
    block[2] = form == FormFileWrite ? 2 : static_cast<uint8_t>((form + payloadLength + 3) % 256);
    block[3] = ':';
    size_t at = HeaderSize;
    if (form != FormCode) {
        block[at++] = static_cast<uint8_t>(group);
    }
    block[at++] = static_cast<uint8_t>(code & 0xFF);
    if (form == FormGroupWord || form == FormGroupLength) {
        block[at++] = static_cast<uint8_t>(code >> 8);
    }
    if (form == FormGroupLength) {
        block[at++] = static_cast<uint8_t>(payloadLength >> 8);
        block[at++] = static_cast<uint8_t>(payloadLength & 0xFF);
    }
    if (payloadLength > 0) {
        std::copy_n(payload, payloadLength, block.begin() + static_cast<std::ptrdiff_t>(at));
        at += payloadLength;
    }
    block[at] = '.';
    return true;
}

} // namespace wire

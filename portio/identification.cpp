#include "portio/identification.h"

#include "portio/protocol_state.h"
#include "portio/version_number.h"

#include <algorithm>
#include <cstring>

namespace portio {

namespace {

constexpr size_t SignatureLength = sizeof(PlayerSignature) - 1;   // 28
constexpr size_t WordsStart = 4 + SignatureLength + 1;            // 33

} // namespace

bool ParseIdentification(const uint8_t* reply, char* text, uint32_t& version) {
    const size_t lengthByte = reply[2];
    // The text runs from offset 4 to just before L + 2 (at most 257, inside the block).
    const size_t end = lengthByte + 2;
    if (lengthByte < 31 || std::memcmp(reply + 4, PlayerSignature, SignatureLength) != 0 ||
        reply[4 + SignatureLength] != ' ') {
        return false;
    }
    size_t position = WordsStart;
    for (int word = 0; word < 3; ++word) {
        if (!SkipWord(reply, end, position)) {
            return false;
        }
    }
    const size_t textLength = std::min(end - position, VersionTextSize - 1);
    std::memcpy(text, reply + position, textLength);
    SkipWord(reply, end, position);
    const uint32_t number = ParseVersionNumber(reply + position, static_cast<ptrdiff_t>(end - position));
    if (number == 0) {
        return false;
    }
    version = number;
    return true;
}

bool QueryVersion(char* text, uint32_t& version) {
    UsbLink* link = Link().OpenLink();
    if (link == nullptr) {
        return false;
    }
    Block reply{};
    if (!SendCommand(link, FormCode, 0, 'Y', nullptr, 0) || !ReadReply(link, reply)) {
        Link().CloseLink(link);
        return false;
    }
    Link().CloseLink(link);
    uint32_t number = 0;
    if (!ParseIdentification(reply.data(), text, number)) {
        return false;
    }
    FirmwareVersion() = number;
    version = number;
    return true;
}

} // namespace portio

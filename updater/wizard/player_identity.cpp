#include "updater/wizard/player_identity.h"

#include "updater/engine/engine_link.h"
#include "portio/version_number.h"

#include <cstdio>
#include <cstring>

namespace updater {

namespace {

constexpr size_t SignatureAt = 4;
constexpr size_t SignatureLength = 28;
constexpr size_t WordsAt = 33;
constexpr uint8_t MinTextLength = 31;

} // namespace

bool ReadPlayerIdentity(IdentityText& identity, uint32_t& version) {
    version = 0;
    Link layer;
    UsbLink* link = layer.OpenLink();
    if (link == nullptr) {
        return false;
    }
    portio::Block reply{};
    if (!SendCommand(link, portio::FormCode, 0, 'Y', nullptr, 0) || !ReadReply(link, reply)) {
        layer.CloseLink(link);
        return false;
    }
    layer.CloseLink(link);

    const uint8_t length = reply[2];
    const size_t end = size_t{length} + 2;   // at most 257: inside the block
    if (length < MinTextLength || std::memcmp(&reply[SignatureAt], IdentitySignature, SignatureLength) != 0 ||
        reply[SignatureAt + SignatureLength] != ' ') {
        return true;
    }
    size_t at = WordsAt;
    for (int word = 0; word < 3; ++word) {
        if (!portio::SkipWord(reply.data(), end, at)) {
            return true;
        }
    }
    version = VersionWithoutWord;
    std::memcpy(identity.data(), &reply[at], end - at);   // at most 224 bytes
    if (!portio::SkipWord(reply.data(), end, at)) {
        return true;
    }
    version = VersionUnreadable;
    if (const uint32_t parsed = portio::ParseVersionNumber(&reply[at], static_cast<ptrdiff_t>(end - at))) {
        version = parsed;
    }
    return true;
}

bool IsBootIdentity(const IdentityText& identity) { return std::strncmp(identity.data(), "BOOT", 4) == 0; }

std::string ShownVersionText(uint32_t version, bool bootCode) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(version));
    std::string text = bootCode ? "BOOT " : "";
    // "c.cc.cc": a point follows the 1st and the 3rd digit, so a text cut
    // after one of them keeps its point ("0." for version 0).
    for (size_t i = 0; i < 5 && hex[i] != '\0'; ++i) {
        text += hex[i];
        if (i == 0 || i == 2) {
            text += '.';
        }
    }
    return text;
}

} // namespace updater

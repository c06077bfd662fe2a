#include "updater/wizard/player_identity.h"

#include "updater/engine/identity_read.h"

#include <cstdio>
#include <cstring>

namespace updater {

bool ReadPlayerIdentity(IdentityText& identity, uint32_t& version) {
    version = 0;
    wire::Identification parsed;
    if (ReadIdentification(parsed) != Outcome::Done) {
        return false;
    }
    if (!parsed.recognised) {
        return true;
    }
    // The wizard shows something for every recognised text: stand-in
    // versions where the version word is missing or unreadable.
    version = VersionWithoutWord;
    std::memcpy(identity.data(), parsed.identityText.data(), parsed.identityText.size());   // at most 224 bytes
    if (!parsed.hasIdentityWord) {
        return true;
    }
    version = parsed.version != 0 ? parsed.version : VersionUnreadable;
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

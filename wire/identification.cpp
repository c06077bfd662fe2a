#include "wire/identification.h"

#include "wire/version_number.h"

#include <cstring>

namespace wire {

namespace {

constexpr size_t TextAt = 4;
constexpr size_t SignatureLength = sizeof(PlayerSignature) - 1;   // 28
constexpr size_t WordsAt = TextAt + SignatureLength + 1;          // 33
constexpr uint8_t MinLengthByte = 31;

} // namespace

Identification ParseIdentification(const Block& reply) {
    Identification result;
    const uint8_t lengthByte = reply[2];
    // The text runs from offset 4 to just before n + 2 (at most 257, inside the block).
    const size_t end = size_t{lengthByte} + 2;
    if (lengthByte < MinLengthByte || std::memcmp(&reply[TextAt], PlayerSignature, SignatureLength) != 0 ||
        reply[TextAt + SignatureLength] != ' ') {
        return result;
    }
    size_t at = WordsAt;
    for (int word = 0; word < 3; ++word) {
        if (!SkipWord(reply.data(), end, at)) {
            return result;
        }
    }
    result.recognised = true;
    result.identityText.assign(reinterpret_cast<const char*>(&reply[at]), end - at);
    result.bootCode = result.identityText.compare(0, 4, "BOOT") == 0;
    if (!SkipWord(reply.data(), end, at)) {
        return result;
    }
    result.hasIdentityWord = true;
    result.version = ParseVersionNumber(&reply[at], static_cast<ptrdiff_t>(end - at));
    return result;
}

} // namespace wire

#include "sim/identification.h"

#include <algorithm>

namespace kvx512sim {

std::string Identification::Text() const {
    if (rawText) {
        return *rawText;
    }
    std::string text = signature;
    for (const auto& word : words) {
        text += ' ';
        text += word;
    }
    text += ' ';
    text += identity;
    if (!version.empty()) {
        text += ' ';
        text += version;
    }
    return text;
}

std::vector<uint8_t> IdentificationReply(const std::string& text) {
    // The text runs from offset 4 to L + 1 and the '.' stands at L + 2.
    const size_t length = std::min<size_t>(text.size(), 253);
    std::vector<uint8_t> reply(512, 0);
    reply[0] = '#';
    reply[1] = 0;
    reply[2] = static_cast<uint8_t>(length + 2);
    reply[3] = ':';
    std::copy_n(text.begin(), length, reply.begin() + 4);
    reply[length + 4] = '.';
    return reply;
}

} // namespace kvx512sim

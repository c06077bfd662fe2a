#include "wire/version_number.h"

namespace wire {

namespace {

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

} // namespace

bool SkipWord(const uint8_t* text, size_t end, size_t& position) {
    if (position >= end) {
        return false;
    }
    while (position < end && text[position] != ' ') {
        ++position;
    }
    if (position < end && text[position] == ' ') {
        ++position;
    }
    return true;
}

uint32_t ParseVersionNumber(const uint8_t* text, ptrdiff_t length) {
    if (length <= 0) {
        return 0;
    }
    const size_t end = static_cast<size_t>(length);
    size_t at = 0;
    uint32_t major = 0;
    for (int digits = 0; digits < 4 && at < end && IsDigit(text[at]); ++digits, ++at) {
        major = major * 16 + (text[at] - '0');
    }
    if (at >= end || text[at] != '.') {
        return major << 16;
    }
    ++at;
    uint32_t fraction = 0;
    uint32_t weight = 0x1000;
    for (int digits = 0; digits < 4 && at < end && IsDigit(text[at]); ++digits, ++at) {
        fraction += (text[at] - '0') * weight;
        weight /= 16;
    }
    return (major << 16) | fraction;
}

} // namespace wire

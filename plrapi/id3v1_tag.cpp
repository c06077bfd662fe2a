#include "plrapi/id3v1_tag.h"

#include <cstring>

namespace plrapi {

namespace {

// Copies a tag field up to its first NUL and strips trailing spaces.
template <size_t N>
void CopyField(char (&field)[N], const uint8_t* source, size_t sourceSize) {
    size_t length = strnlen(reinterpret_cast<const char*>(source), sourceSize);
    while (length > 0 && source[length - 1] == ' ') {
        --length;
    }
    static_assert(N > 0);
    std::memcpy(field, source, length < N ? length : N - 1);
}

} // namespace

std::optional<Id3v1Tag> ReadId3v1(const uint8_t* window) {
    if (std::memcmp(window, "TAG", 3) != 0) {
        return std::nullopt;
    }
    Id3v1Tag tag;
    tag.found = 1;
    CopyField(tag.title, window + 3, 30);
    CopyField(tag.artist, window + 33, 30);
    CopyField(tag.album, window + 63, 30);
    CopyField(tag.year, window + 93, 4);
    CopyField(tag.comment, window + 97, 30);
    tag.genre = static_cast<int8_t>(window[127]);
    return tag;
}

} // namespace plrapi

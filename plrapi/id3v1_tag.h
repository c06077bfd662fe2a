// The ID3v1 tag some MP3 files carry in their last 128 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace plrapi {

inline constexpr size_t Id3v1Size = 128;

// Text fields NUL-terminated, trailing spaces stripped.
struct Id3v1Tag {
    char found = 0;
    char title[31]{};
    char artist[31]{};
    char album[31]{};
    char year[5]{};
    char comment[31]{};
    int32_t genre = 0;
};
static_assert(offsetof(Id3v1Tag, title) == 1 && offsetof(Id3v1Tag, artist) == 32 && offsetof(Id3v1Tag, album) == 63);
static_assert(offsetof(Id3v1Tag, year) == 94 && offsetof(Id3v1Tag, comment) == 99);
static_assert(offsetof(Id3v1Tag, genre) == 132 && sizeof(Id3v1Tag) == 136);

// The tag in a 128-byte window that starts with "TAG"; none otherwise.
std::optional<Id3v1Tag> ReadId3v1(const uint8_t* window);

} // namespace plrapi

// The ID3v1 reader on any 128-byte window: a tag only behind "TAG", every
// text terminated within its field and without trailing spaces.
#include "plrapi/id3v1_tag.h"
#include "tests/fuzz/fuzz_check.h"

#include <sanitizer/asan_interface.h>

#include <cstdint>
#include <cstring>
#include <memory>

namespace {

template <size_t N>
void RequireText(const char (&field)[N], const char* property) {
    const size_t length = strnlen(field, N);
    fuzzcheck::Require(length < N, property);
    fuzzcheck::Require(length == 0 || field[length - 1] != ' ', property);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < plrapi::Id3v1Size) {
        return 0;
    }
    // A window of its own, so that a read past its 128 bytes is an overflow.
    auto window = std::make_unique<uint8_t[]>(plrapi::Id3v1Size);
    std::memcpy(window.get(), data + size - plrapi::Id3v1Size, plrapi::Id3v1Size);
    const auto tag = plrapi::ReadId3v1(window.get());
    fuzzcheck::Require(tag.has_value() == (std::memcmp(window.get(), "TAG", 3) == 0), "a tag exactly behind TAG");
    if (tag) {
        RequireText(tag->title, "title terminated, no trailing space");
        RequireText(tag->artist, "artist terminated, no trailing space");
        RequireText(tag->album, "album terminated, no trailing space");
        RequireText(tag->year, "year terminated, no trailing space");
        RequireText(tag->comment, "comment terminated, no trailing space");
    }
    return 0;
}

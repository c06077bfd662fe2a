// What the title text is chosen from, kept while an upload's bytes pass: the
// first 128 bytes and the first 16 KiB of its first block, and the last 128
// bytes of everything so far.
#pragma once

#include "plrapi/title_text.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace plrapi {

inline constexpr size_t TitleWindowSize = 128;
inline constexpr size_t HeadCaptureSize = 16384;

class TitleWindows {
public:
    // A new file: nothing seen yet.
    void Reset();
    // The next `size` bytes of the file. The head window and capture come
    // from the first block; the tail window follows every block, the first
    // included, so that a file sent in one block still shows its last 128 bytes.
    void Keep(const uint8_t* data, size_t size);
    // The windows for the file of `longName`; valid while this object is.
    TitleSources Sources(std::string_view longName) const;

private:
    bool firstBlockSeen_ = false;
    std::array<uint8_t, TitleWindowSize> head_{};
    std::array<uint8_t, TitleWindowSize> tail_{};   // the last 128 bytes seen
    std::array<uint8_t, HeadCaptureSize> capture_{};
    size_t captureSize_ = 0;
};

} // namespace plrapi

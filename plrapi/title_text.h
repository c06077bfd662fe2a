// The text a file's title picture shows: its long name, or what an MP3's
// ID3v1 tag or a WMA file's content description calls it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace plrapi {

struct TitleSources {
    std::string_view longName;   // the upload's long name, extension included
    const uint8_t* head;         // the file's first 128 bytes (zero-filled)
    const uint8_t* tail;         // its last 128 bytes
    const uint8_t* capture;      // its first bytes, for the WMA header
    size_t captureSize;
};

// Bytes in the code page.
std::string ChooseTitleText(const TitleSources& sources);

} // namespace plrapi

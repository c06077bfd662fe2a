// The title and author a WMA file names in its ASF content description.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace plrapi {

// Fields of 260 bytes: each text at most 259 bytes in the code page.
inline constexpr size_t AsfTextField = 260;

struct AsfTitle {
    std::string title;
    std::string author;
};

// Looks through the header objects in the first `size` bytes of the file.
// None when there is no content description, or when a length in it points
// outside those bytes.
std::optional<AsfTitle> ReadAsfTitle(const uint8_t* bytes, size_t size);

} // namespace plrapi

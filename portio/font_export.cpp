// Starting a font download: "W" to group 'U' with the name and size.
#include "portio.h"
#include "portio/byte_order.h"
#include "portio/protocol_state.h"
#include "portio/reply_block.h"

#include <cstring>
#include <vector>

using namespace portio;

namespace {

constexpr int FontGroup = 2;
constexpr int OpenAttempts = 5;
// The length byte (name + 8) must not wrap.
constexpr size_t MaxFontName = 255 - 8;

} // namespace

extern "C" PORTIO_API int dll_fn_DownloadFont(const char* name, uint32_t size) {
    if (name == nullptr) {
        return -1;
    }
    const size_t nameLength = std::strlen(name);
    if (nameLength > MaxFontName) {
        return -1;
    }
    std::vector<uint8_t> payload(nameLength + 4);
    std::memcpy(payload.data(), name, nameLength);
    StoreBe32(payload.data() + nameLength, size);

    CloseCurrentLink();
    for (int attempt = 0; attempt < OpenAttempts && CurrentLink() == nullptr; ++attempt) {
        CurrentLink() = Link().OpenLink();
    }
    if (CurrentLink() == nullptr) {
        return -1;
    }
    Block reply{};
    if (Exchange(FormGroupCode, FontGroup, 'W', payload.data(), payload.size(), reply) != 0) {
        return -1;
    }
    return IsReplyOk(reply.data()) ? 0 : -1;
}

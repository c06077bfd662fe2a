// Starting a font download: "W" to the font group with the name and size.
#include "portio/protocol_session.h"
#include "wire/byte_order.h"
#include "wire/reply_view.h"

#include <cstring>
#include <vector>

namespace portio {

namespace {

constexpr int OpenAttempts = 5;
// The length byte (name + 8) must not wrap.
constexpr size_t MaxFontName = 255 - 8;

} // namespace

Result ProtocolSession::StartFontDownload(std::string_view name, uint32_t size) {
    if (name.size() > MaxFontName) {
        return Result::Invalid;
    }
    std::vector<uint8_t> payload(name.size() + 4);
    std::memcpy(payload.data(), name.data(), name.size());
    wire::StoreBe32(payload.data() + name.size(), size);

    CloseCurrentLink();
    for (int attempt = 0; attempt < OpenAttempts && current_ == nullptr; ++attempt) {
        current_ = link_.OpenLink();
    }
    if (current_ == nullptr) {
        return Result::Unreachable;
    }
    wire::Block reply{};
    if (const Result sent = Exchange(wire::FormGroupCode, wire::GroupFont, 'W', payload, reply, /*opensDataPhase=*/true);
        sent != Result::Ok) {
        return sent;
    }
    if (!wire::ReplyView(reply).IsAccepted()) {
        return Result::Failed;
    }
    writeLeft_ = size;
    return Result::Ok;
}

} // namespace portio

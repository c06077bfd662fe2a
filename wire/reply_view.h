// Reply blocks from pipe 0x83: '#', status, length n, ':', result, data, and
// the '.' at n + 2. A view names the fields and the few checks the host makes.
#pragma once

#include "wire/byte_order.h"
#include "wire/command_block.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace wire {

// The reply that says "done" with nothing more to tell.
inline constexpr std::array<uint8_t, 6> OkReply{0x23, 0x00, 0x03, 0x3A, 0x00, 0x2E};

// Result bytes.
inline constexpr uint8_t ResultAccepted = 0;
inline constexpr uint8_t ResultRefused = 1;   // an error code follows

class ReplyView {
public:
    explicit ReplyView(const Block& block) : bytes_(block) {}

    uint8_t Status() const { return bytes_[1]; }
    uint8_t Length() const { return bytes_[2]; }
    uint8_t Result() const { return bytes_[4]; }
    // The error code of a refusal.
    uint8_t ErrorCode() const { return bytes_[5]; }
    // The percentage of a progress reply (format, erase).
    uint8_t Percentage() const { return bytes_[5]; }
    uint8_t At(size_t offset) const { return bytes_[offset]; }
    // A big-endian word of the reply's data.
    uint16_t WordAt(size_t offset) const { return LoadBe16(&bytes_[offset]); }
    const uint8_t* Data() const { return bytes_.data(); }

    // '#' and status 0: a reply block at all (what the handshake waits for).
    bool IsReplyBlock() const { return bytes_[0] == '#' && bytes_[1] == 0; }
    // '#' at 0, ':' at 3, a length byte of at least 2 and result 0; the '.'
    // is not examined.
    bool IsAccepted() const;
    // As IsAccepted, with a length byte of at least 3 and the '.' at n + 2.
    bool IsAcceptedAndTerminated() const;
    // The first six bytes are exactly the OK reply.
    bool IsOk() const;
    // '#', length 4, ':', result 1, the error code and '.': the player said no.
    bool IsRefusal() const;

private:
    const Block& bytes_;
};

} // namespace wire

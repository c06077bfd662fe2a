// Reply blocks from pipe 0x83: '#', status, length, ':', result, data.
#pragma once

#include <array>
#include <cstdint>

namespace portio {

inline constexpr std::array<uint8_t, 6> OkReply{0x23, 0x00, 0x03, 0x3A, 0x00, 0x2E};

// '#' at 0, ':' at 3, a length byte of at least 2 and result 0. The '.' is not examined.
bool IsReplyOk(const uint8_t* reply);
// The first six bytes are exactly the OK reply.
bool IsOkReply(const uint8_t* reply);

} // namespace portio

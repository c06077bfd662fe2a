#include "portio/reply_block.h"

#include <algorithm>

namespace portio {

bool IsReplyOk(const uint8_t* reply) {
    return reply[0] == '#' && reply[3] == ':' && reply[2] >= 2 && reply[4] == 0;
}

bool IsOkReply(const uint8_t* reply) { return std::equal(OkReply.begin(), OkReply.end(), reply); }

} // namespace portio

// Reading a file: "R" for a file position and two answer blocks; the data
// phase follows.
#include "portio/protocol_session.h"

namespace portio {

Result ProtocolSession::OpenFileRead(int storage, int position) {
    // Two answer blocks precede the data; neither is examined.
    wire::Block answer{};
    if (const Result sent = FilePositionCommand(storage, 'R', position, answer); sent != Result::Ok) {
        return sent;
    }
    if (!link_.ReadReply(current_, answer)) {
        CloseCurrentLink();
        return Result::NoReply;
    }
    return Result::Ok;
}

} // namespace portio

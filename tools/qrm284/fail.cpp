#include "tools/qrm284/commands.h"

#include "platform/usb/transport_error.h"

#include <cstdio>

namespace qrm284 {

int Fail(const char* sentence, int status) {
    std::fprintf(stderr, "qrm284: %s\n", sentence);
    return status;
}

int FailNoPlayer() {
    const std::string why = platform::usb::LastTransportError();
    return Fail(why.empty() ? "No player is connected." : why.c_str(), ExitNoPlayer);
}

} // namespace qrm284

#include "platform/system/debug_output.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

constinit std::atomic<detail::DebugSwitch> detail::debugState{detail::DebugSwitch::Unread};

bool detail::ReadDebugEnvironment() {
    const char* value = std::getenv("KVX512_DEBUG");
    const bool on = value != nullptr && std::strcmp(value, "1") == 0;
    debugState.store(on ? DebugSwitch::On : DebugSwitch::Off, std::memory_order_relaxed);
    return on;
}

void ReadDebugSwitch() { detail::ReadDebugEnvironment(); }

void OutputDebugText(const char* text) {
    if (text == nullptr || !DebugOutputOn()) {
        return;
    }
    // One call, so that texts of several threads do not interleave.
    std::fputs(text, stderr);
}

} // namespace platform

// The debugger output of the system the callers were designed for: texts go
// to stderr, as given, while KVX512_DEBUG=1, and nowhere otherwise. The same
// switch turns on the USB seam's trace. It is read once, when first asked;
// while it is off, asking costs one load and one branch.
#pragma once

#include <atomic>
#include <cstdint>

namespace platform {

namespace detail {
enum class DebugSwitch : uint8_t { Unread, Off, On };
// One for the process, defined in the platform library (constant-initialised,
// so reading it checks no guard).
extern std::atomic<DebugSwitch> debugState;
// Reads KVX512_DEBUG into the state; whether it is on.
bool ReadDebugEnvironment();
} // namespace detail

// Whether texts (and the seam's trace) are shown.
inline bool DebugOutputOn() {
    const detail::DebugSwitch state = detail::debugState.load(std::memory_order_relaxed);
    if (state == detail::DebugSwitch::Off) [[likely]] {
        return false;
    }
    return state == detail::DebugSwitch::On || detail::ReadDebugEnvironment();
}

void OutputDebugText(const char* text);

// Reads KVX512_DEBUG again; for tests.
void ReadDebugSwitch();

} // namespace platform

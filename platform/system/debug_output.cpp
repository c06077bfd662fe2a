#include "platform/system/debug_output.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

enum class Switch : int { Unread, Off, On };

constinit std::atomic<Switch> state{Switch::Unread};

bool ReadEnvironment() {
    const char* value = std::getenv("KVX512_DEBUG");
    const bool on = value != nullptr && std::strcmp(value, "1") == 0;
    state.store(on ? Switch::On : Switch::Off, std::memory_order_relaxed);
    return on;
}

} // namespace

bool DebugOutputOn() {
    const Switch current = state.load(std::memory_order_relaxed);
    if (current == Switch::Unread) {
        return ReadEnvironment();
    }
    return current == Switch::On;
}

void ReadDebugSwitch() { ReadEnvironment(); }

void OutputDebugText(const char* text) {
    if (text == nullptr || !DebugOutputOn()) {
        return;
    }
    // One call, so that texts of several threads do not interleave.
    std::fputs(text, stderr);
}

} // namespace platform

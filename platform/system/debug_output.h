// The debugger output of the system the callers were designed for: texts go
// to stderr, as given, while KVX512_DEBUG=1, and nowhere otherwise. The
// switch is read once, when the first text comes.
#pragma once

namespace platform {

void OutputDebugText(const char* text);

// Whether texts are shown.
bool DebugOutputOn();

// Reads KVX512_DEBUG again; for tests.
void ReadDebugSwitch();

} // namespace platform

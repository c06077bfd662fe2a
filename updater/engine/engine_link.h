// The engine's one player link and the updater's instance of the USB link.
// Every engine operation that needs the player closes the link still open
// and opens a new one.
#pragma once

#include "usblink/usb_link.h"

#include <cstdint>

namespace updater {

using usblink::UsbLink;

inline constexpr uint8_t PipeCommands = usblink::PipeCommands;
inline constexpr uint8_t PipeReplies = usblink::PipeReplies;

// The updater's link layer: product ID 0x0301 only, time-outs starting at
// 300,000 ms (read) and 100,000 ms (write).
usblink::Link& EngineLinkLayer();

// The open engine link, or null.
UsbLink* EngineLink();
// Closes the engine link if one is open and opens a new one; null on failure.
UsbLink* ReopenEngineLink();
// Closes the engine link if one is open and forgets it. Returns 1.
int CloseEngineLink();

// The updater's time-outs (ms): the usual read time-out, the one that lets
// a firmware download or a format take its time, and the write time-out.
inline constexpr uint32_t UsualReadTimeoutMs = 300000;
inline constexpr uint32_t LongReadTimeoutMs = 3000000;
inline constexpr uint32_t WriteTimeoutMs = 100000;

// Sets the updater's read and write time-outs (ms).
void SetLinkTimeouts(uint32_t readMs, uint32_t writeMs);

} // namespace updater

// The engine's one player link and the updater's instance of the USB link.
// Every engine operation that needs the player closes the link still open
// and opens a new one.
#pragma once

#include "portio/command_block.h"
#include "portio/reply_block.h"
#include "usblink/usb_link.h"

#include <cstdint>

namespace updater {

// The updater's link layer: product ID 0x0301 only, time-outs starting at
// 300,000 ms (read) and 100,000 ms (write).
using Link = usblink::LinkLayer<usblink::UpdaterSettings>;
using usblink::UsbLink;

inline constexpr uint32_t PipeCommands = usblink::PipeCommands;
inline constexpr uint32_t PipeReplies = usblink::PipeReplies;

// The open engine link, or null.
UsbLink* EngineLink();
// Closes the engine link if one is open and opens a new one; null on failure.
UsbLink* ReopenEngineLink();
// Closes the engine link if one is open and forgets it. Returns 1.
int CloseEngineLink();

// Sets the updater's read and write time-outs (ms).
void SetLinkTimeouts(uint32_t readMs, uint32_t writeMs);

// True when the reply's length byte n is at least 3, it starts with '#',
// byte 3 is ':', byte n + 2 is '.' and the result byte (4) is 0.
bool IsEngineReplyOk(const uint8_t* reply);
// The OK reply's check is the protocol's own.
using portio::IsOkReply;

// Builds a command block and writes it to pipe 2: true when the write
// succeeds and moves at least one byte.
bool SendCommand(UsbLink* link, int form, int groupIndex, uint16_t code, const uint8_t* payload,
                 size_t payloadLength);
// Reads one 512-byte reply from pipe 3: true when the read succeeds and
// moves at least one byte.
bool ReadReply(UsbLink* link, portio::Block& reply);

} // namespace updater

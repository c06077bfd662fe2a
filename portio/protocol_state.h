// The process-wide state of the protocol library: its link layer, the current
// link and the firmware version of the last identification.
#pragma once

#include "portio/command_block.h"
#include "usblink/usb_link.h"

#include <cstddef>
#include <cstdint>

namespace portio {

using LinkLayer = usblink::LinkLayer<usblink::PortioSettings>;
using usblink::UsbLink;

LinkLayer& Link();
UsbLink*& CurrentLink();
uint32_t& FirmwareVersion();

// Closes the current link, if any.
void CloseCurrentLink();
// Closes the current link and opens a new one as the current link.
bool OpenCurrentLink();

// Builds the block in the block buffer and writes it to pipe 2. True only
// when the write moved at least one byte.
bool SendCommand(UsbLink* link, int form, int groupIndex, uint16_t code, const uint8_t* payload,
                 size_t payloadLength);
// Reads one 512-byte reply block from pipe 3.
bool ReadReply(UsbLink* link, Block& reply);

// Sends a command on the current link and reads its reply. 0 on success;
// 5 (not sent) or 3 (no reply), with the current link closed.
int Exchange(int form, int groupIndex, uint16_t code, const uint8_t* payload, size_t payloadLength, Block& reply);

// The reachability check: up to five status checks, stopping at the first success.
bool IsPlayerReachable();

} // namespace portio

// The USB link to the player: open (scan, interface, pipe halts, handshake),
// bulk I/O with the link's time-outs, the command/reply exchange, the cancel
// request and the presence check.
#pragma once

#include "platform/usb/usb_driver.h"
#include "usblink/link_settings.h"
#include "wire/command_block.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace usblink {

// One open link: the driver handle it was opened on and the device's unique ID.
struct UsbLink {
    platform::usb::DriverHandle handle;
    uint32_t uniqueId = 0;
};

inline constexpr uint8_t PipeCommands = 0x02;
inline constexpr uint8_t PipeReplies = 0x03;   // read as 0x83
inline constexpr uint8_t PipeSpare = 0x02;     // halted as 0x82
inline constexpr uint8_t DirectionIn = 0x80;
inline constexpr uint32_t HandshakeAttempts = 5;
inline constexpr uint32_t MinimumDriverVersion = 600;

// The player's vendor request that abandons a data phase.
inline constexpr platform::usb::SetupPacket CancelRequest{0x40, 0x01, 0, 0, 0, 0, 0, 0};

// A link layer built with its settings. It owns the block buffer commands are
// built in; open links (UsbLink) are the caller's until CloseLink.
class Link {
public:
    explicit Link(const LinkSettings& settings);
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // A new link, or null when the player cannot be reached.
    UsbLink* OpenLink();
    // Closes the handle and frees the record; null does nothing.
    void CloseLink(UsbLink* link);
    // Bytes moved, or -1.
    int BulkRead(UsbLink* link, uint8_t pipe, uint8_t* buffer, uint32_t size);
    int BulkWrite(UsbLink* link, uint8_t pipe, const uint8_t* buffer, uint32_t size);
    // `count` reads (writes) of `size` bytes each on one pipe, read into
    // (written from) buffer + i * size, with the outcomes of as many BulkRead
    // (BulkWrite) calls one after the other that stop at the first failure;
    // the driver keeps several in flight where it can (a count of 0 opens
    // nothing). The number that succeeded: count, or the index of the one
    // that failed. `moved`
    // (optional, `count` entries) gets each succeeded transfer's bytes.
    uint32_t BulkReadQueue(UsbLink* link, uint8_t pipe, uint8_t* buffer, uint32_t size, uint32_t count,
                           uint32_t* moved);
    uint32_t BulkWriteQueue(UsbLink* link, uint8_t pipe, const uint8_t* buffer, uint32_t size, uint32_t count);
    platform::usb::Status HaltPipe(UsbLink* link, uint8_t pipe);
    void SendCancelRequest(UsbLink* link);
    // Looks for the player in the device list; opens no driver.
    bool IsPlayerPresent() const;

    // Builds the block and writes it to pipe 2: true when the write moved at
    // least one byte. False without sending for a block that cannot be built.
    bool SendCommand(UsbLink* link, int form, int groupIndex, uint16_t code, const uint8_t* payload,
                     size_t payloadLength);
    // Reads one 512-byte reply from pipe 3: true when the read succeeded and
    // moved at least one byte (an empty read leaves no reply to look at).
    bool ReadReply(UsbLink* link, wire::Block& reply);

    // Negative values wrap, as the driver's unsigned time-outs always did.
    void SetTimeouts(int32_t readTimeoutMs, int32_t writeTimeoutMs);
    uint32_t ReadTimeout() const { return readTimeout_.load(); }
    uint32_t WriteTimeout() const { return writeTimeout_.load(); }

private:
    void CheckDriverVersion(platform::usb::Driver& driver);

    const LinkSettings settings_;
    std::atomic<uint32_t> readTimeout_;
    std::atomic<uint32_t> writeTimeout_;
    // Commands are built here; the mutex keeps two threads' commands apart.
    std::mutex blockMutex_;
    wire::Block block_{};
};

} // namespace usblink

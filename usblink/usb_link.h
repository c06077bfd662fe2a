// The USB link to the player: open (scan, interface, pipe halt, handshake),
// bulk I/O with the process-wide time-outs, the cancel request, presence.
#pragma once

#include "platform/usb/usb_driver.h"
#include "portio/command_block.h"
#include "usblink/link_settings.h"
#include "usblink/player_presence.h"

#include <atomic>
#include <cstdint>

namespace usblink {

// One open link: the driver handle it was opened on and the device's unique ID.
struct UsbLink {
    platform::usb::DriverHandle handle;
    uint32_t uniqueId = 0;
};

inline constexpr uint32_t PipeCommands = 0x02;
inline constexpr uint32_t PipeReplies = 0x03;   // read as 0x83
inline constexpr uint32_t PipeSpare = 0x02;     // halted as 0x82
inline constexpr uint32_t HandshakeAttempts = 5;
inline constexpr uint32_t MinimumDriverVersion = 600;

// The link operations. No data members: the time-outs and the block buffer
// are process-wide, one set per Settings.
template <class Settings>
class LinkLayer {
public:
    virtual ~LinkLayer() = default;

    // A new link, or null when the player cannot be reached.
    UsbLink* OpenLink();
    // Closes the handle and frees the record; null does nothing.
    void CloseLink(UsbLink* link);
    // Bytes moved, or -1.
    int BulkRead(UsbLink* link, uint32_t pipe, uint8_t* buffer, uint32_t size);
    int BulkWrite(UsbLink* link, uint32_t pipe, const uint8_t* buffer, uint32_t size);
    uint32_t HaltPipe(UsbLink* link, uint32_t pipe);
    void SendCancelRequest(UsbLink* link);
    // Looks for the player in the device list; opens no driver.
    bool IsPlayerPresent();

    static void SetTimeouts(int32_t readTimeout, int32_t writeTimeout);
    static uint32_t ReadTimeout() { return readTimeout_.load(); }
    static uint32_t WriteTimeout() { return writeTimeout_.load(); }

    // The one buffer command blocks are built in and the handshake reads into.
    static portio::Block& BlockBuffer();

private:
    uint32_t Transfer(UsbLink* link, platform::usb::TransferRequest request, uint32_t& bytesMoved);
    void CheckDriverVersion(platform::usb::Driver& driver);

    static inline std::atomic<uint32_t> readTimeout_{Settings::InitialReadTimeout};
    static inline std::atomic<uint32_t> writeTimeout_{Settings::InitialWriteTimeout};
};

extern template class LinkLayer<PortioSettings>;
extern template class LinkLayer<UpdaterSettings>;

} // namespace usblink

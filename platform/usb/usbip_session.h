// The client side of USB/IP: the device list, and one imported device whose
// connection carries the URBs of every transfer.
#pragma once

#include "platform/usb/tcp_stream.h"
#include "platform/usb/usb_driver.h"
#include "platform/usb/usbip_address.h"
#include "platform/usb/usbip_protocol.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace platform::usb {

// One device a server exports.
struct ExportedDevice {
    std::string busId;
    uint32_t busNumber = 0;
    uint32_t deviceNumber = 0;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
};

// The server's device list; null when it cannot be reached or breaks the protocol.
std::optional<std::vector<ExportedDevice>> QueryExportedDevices(const UsbipAddress& address);

// The device's entry in the operating system's device list: USB\VID_0F9C&PID_0301\<bus ID>.
std::string UsbipInstanceId(const ExportedDevice& device);

// One URB as the driver seam asks for it.
struct UrbRequest {
    uint32_t endpoint = 0;            // 0 for control
    bool in = false;
    SetupPacket setup{};              // control only
    uint8_t* buffer = nullptr;
    uint32_t length = 0;
    uint32_t timeoutMs = 0;           // 0: no time-out
};

class UsbipSession {
public:
    // Imports the device with that bus ID; null when the server refuses or is gone.
    static std::optional<UsbipSession> Import(const UsbipAddress& address, const std::string& busId);

    const ExportedDevice& Device() const { return device_; }
    // The devid URBs carry: bus number << 16 | device number.
    uint32_t Devid() const { return (device_.busNumber << 16) | (device_.deviceNumber & 0xFFFF); }
    // True once the connection is unusable (server gone, protocol broken, device detached).
    bool Broken() const { return broken_; }
    // Notices a server that ended the connection while nothing was asked of it
    // (the device was unplugged there, or the server restarted).
    void CheckConnection() {
        if (!broken_ && stream_.PeerClosed()) {
            broken_ = true;
        }
    }

    // Submits the URB and waits for its reply until the request's time-out;
    // then takes the URB back with an unlink and reports the time-out. The
    // backend's error name is the errno name of the URB's status, or says
    // what became of the connection.
    TransferResult Submit(const UrbRequest& request);

private:
    UsbipSession(TcpStream stream, ExportedDevice device) : stream_(std::move(stream)), device_(std::move(device)) {}

    enum class ReplyKind { Mine, Unlinked, Other, Broken };
    struct Reply {
        ReplyKind kind = ReplyKind::Broken;
        TransferResult outcome;
        int32_t unlinkStatus = 0;
    };
    Reply ReadReply(uint32_t seqnum, const UrbRequest& request, uint32_t unlinkSeqnum);
    void FillHeader(usbip::UrbHeader& header, uint32_t command, uint32_t seqnum, const UrbRequest& request) const;
    TransferResult TakeBack(uint32_t seqnum, const UrbRequest& request);
    TransferResult Break();

    TcpStream stream_;
    ExportedDevice device_;
    uint32_t nextSeqnum_ = 1;
    bool broken_ = false;
    // URBs given up on whose replies may still come: seqnum -> IN (its reply carries data).
    std::map<uint32_t, bool> abandoned_;
};

} // namespace platform::usb

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
    // The devid URBs for it carry: bus number << 16 | device number.
    uint32_t Devid() const { return (busNumber << 16) | (deviceNumber & 0xFFFF); }
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

// What became of a run of URBs: as the seam's BulkQueueResult.
struct UrbRunResult {
    uint32_t completed = 0;
    TransferResult last;
};

class UsbipSession {
public:
    // Imports the device with that bus ID; null when the server refuses or is gone.
    static std::optional<UsbipSession> Import(const UsbipAddress& address, const std::string& busId);

    const ExportedDevice& Device() const { return device_; }
    uint32_t Devid() const { return device_.Devid(); }
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
    // `count` URBs like `request`, the i-th on request.buffer + i * length,
    // with the outcomes of submitting them one at a time as above: several are
    // outstanding at once (USBIP_CMD_SUBMITs sent together), completed in
    // order; each waits its own time-out from the end of the one before; at
    // the first failure or time-out every URB still outstanding is unlinked
    // before this returns. `moved` (optional) gets each succeeded URB's count.
    UrbRunResult SubmitRun(const UrbRequest& request, uint32_t count, uint32_t* moved);

private:
    UsbipSession(TcpStream stream, ExportedDevice device) : stream_(std::move(stream)), device_(std::move(device)) {}

    // One URB of a run, from its submit until its reply or unlink reply.
    struct Outstanding {
        uint32_t index = 0;
        uint32_t seqnum = 0;
        uint32_t unlinkSeqnum = 0;    // 0 until it is taken back
        bool answered = false;        // its RET_SUBMIT came
        bool unlinkAnswered = false;  // its RET_UNLINK came
        TransferResult outcome;
    };
    struct Run {
        const UrbRequest& request;
        uint32_t count = 0;
        uint32_t window = 0;          // how many may be outstanding at once
        uint32_t head = 0;            // the first not yet finished
        uint32_t next = 0;            // the next to submit
        uint8_t* Buffer(uint32_t index) const {
            return request.buffer != nullptr ? request.buffer + size_t{index} * request.length : nullptr;
        }
    };

    Outstanding& Slot(const Run& run, uint32_t index) { return outstanding_[index % run.window]; }
    Outstanding* FindSubmitted(const Run& run, uint32_t seqnum);
    Outstanding* FindUnlinked(const Run& run, uint32_t unlinkSeqnum);
    void FillHeader(usbip::UrbHeader& header, uint32_t command, uint32_t seqnum, const UrbRequest& request) const;
    // Sends the submits that fill the run's window again.
    bool SubmitMore(Run& run);
    // Reads one message: a reply to an outstanding URB of the run (IN data
    // straight into its place), an unlink reply, or a late reply to a URB
    // given up earlier (dropped). False when the connection broke the protocol.
    bool ReadReply(Run& run);
    // The head ran into its time-out: unlinks it. True when it had completed
    // after all (its outcome is set); else `failure` says what happened.
    bool TakeBackHead(Run& run, TransferResult& failure);
    // Unlinks every URB from `first` on that is still outstanding and waits
    // for each to be answered one way or the other.
    void TakeBackRest(Run& run, uint32_t first);
    TransferResult Break();

    TcpStream stream_;
    ExportedDevice device_;
    uint32_t nextSeqnum_ = 1;
    bool broken_ = false;
    // URBs given up on whose replies may still come: seqnum -> IN (its reply carries data).
    std::map<uint32_t, bool> abandoned_;
    // Kept between runs so that a run allocates nothing.
    std::vector<Outstanding> outstanding_;
    std::vector<usbip::SubmitCommand> commands_;
    std::vector<usbip::UnlinkCommand> unlinks_;
    std::vector<iovec> parts_;
};

} // namespace platform::usb

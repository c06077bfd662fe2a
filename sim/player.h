// The simulated player: a KVX512 device as its USB pipes see it.
#pragma once

#include "sim/command_decoder.h"
#include "sim/identification.h"
#include "sim/sim_export.h"
#include "sim/transcript.h"
#include "sim/usb_request.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace kvx512sim {

inline constexpr uint16_t VendorId = 0x0F9C;
inline constexpr uint32_t PipeOut = 0x02;
inline constexpr uint32_t PipeReplies = 0x83;
inline constexpr uint32_t PipeSpare = 0x82;
inline constexpr uint32_t PipeControl = 0;

class KVX512SIM_API Player {
public:
    explicit Player(uint16_t productId = 0x0301);
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Identity and presence.
    uint16_t ProductId() const;
    void SetProductId(uint16_t productId);
    bool Attached() const;
    void Attach();
    void Detach();
    void SetIdentification(const Identification& identification);
    Identification GetIdentification() const;

    // Fault injection; each counts down as it strikes.
    void FailNextTransfers(int count);
    void WithholdReplies(int count);            // replies are dropped; reads time out
    void UnusableHandshakeReplies(int count);   // "Y" answered with status byte 1
    void GarbageReplies(int count);             // replies that are no reply block at all

    // What happened.
    Transcript GetTranscript() const;
    void ClearTranscript();
    int CancelRequestCount() const;
    size_t PendingReplies() const;

    // The device side of the requests a host makes.
    UsbStatus SetInterface(uint32_t interfaceNumber, uint32_t alternateSetting);
    UsbResponse Transfer(const UsbRequest& request);

private:
    UsbResponse TransferLocked(const UsbRequest& request, std::vector<uint8_t>& moved,
                               std::unique_lock<std::mutex>& lock);
    UsbResponse WriteOut(const UsbRequest& request, std::vector<uint8_t>& moved);
    UsbResponse ReadIn(const UsbRequest& request, std::vector<uint8_t>& moved,
                       std::unique_lock<std::mutex>& lock);
    UsbResponse Control(const UsbRequest& request);
    void OnCommand(const Command& command);
    void Reply(std::vector<uint8_t> block);
    void ReplyError(uint8_t errorCode);

    mutable std::mutex mutex_;
    uint16_t productId_;
    bool attached_ = true;
    Identification identification_;
    int failTransfers_ = 0;
    int withheldReplies_ = 0;
    int unusableHandshakes_ = 0;
    int garbageReplies_ = 0;
    int cancelRequests_ = 0;
    std::deque<std::vector<uint8_t>> pendingIn_;
    Transcript transcript_;
};

// Error codes the player puts into refusals.
inline constexpr uint8_t ErrorUnknownCommand = 0x01;

} // namespace kvx512sim

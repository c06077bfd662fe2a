// What reaches the simulated player from a host: one USB request at a time.
#pragma once

#include <array>
#include <cstdint>

namespace kvx512sim {

enum class UsbStatus : uint32_t {
    Success = 0,
    Failed,        // injected failure or a request the device cannot carry out
    TimeOut,       // an IN request found no data before its time-out
    NotAttached,   // the device is gone
    Stall,         // the endpoint refused the request
    WouldBlock,    // an IN request that may not wait found no data (not recorded)
};

struct UsbRequest {
    uint32_t pipe = 0;                  // endpoint address: 0x02, 0x82, 0x83, or 0 for control
    bool in = false;
    uint32_t options = 0;               // 1: halt (reset) the pipe instead of moving data
    std::array<uint8_t, 8> setup{};     // control requests only
    uint32_t timeoutMs = 0;
    uint8_t* data = nullptr;
    uint32_t length = 0;
    // False for hosts that keep requests pending themselves (the USB/IP server):
    // an IN request without data then answers WouldBlock at once.
    bool wait = true;
};

struct UsbResponse {
    UsbStatus status = UsbStatus::Failed;
    uint32_t actual = 0;
};

} // namespace kvx512sim

// The two settings the USB link is built with: the protocol library's and the
// updater's. They differ only in the product IDs scanned and the start time-outs.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace usblink {

inline constexpr uint16_t PlayerVendorId = 0x0F9C;

struct PortioSettings {
    static constexpr std::array<uint16_t, 3> ProductIds{0x0301, 0x1001, 0x0321};
    static constexpr uint32_t InitialReadTimeout = 30000;
    static constexpr uint32_t InitialWriteTimeout = 20000;
};

struct UpdaterSettings {
    static constexpr std::array<uint16_t, 1> ProductIds{0x0301};
    static constexpr uint32_t InitialReadTimeout = 300000;
    static constexpr uint32_t InitialWriteTimeout = 100000;
};

} // namespace usblink

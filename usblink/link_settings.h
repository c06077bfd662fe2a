// What a link is built with: the product IDs it scans and its start time-outs.
// The protocol library and the updater each have their own.
#pragma once

#include <cstdint>
#include <span>

namespace usblink {

inline constexpr uint16_t PlayerVendorId = 0x0F9C;

struct LinkSettings {
    std::span<const uint16_t> productIds;   // scanned in this order
    uint32_t readTimeoutMs = 0;
    uint32_t writeTimeoutMs = 0;
};

inline constexpr uint16_t PortioProductIds[] = {0x0301, 0x1001, 0x0321};
inline constexpr uint16_t UpdaterProductIds[] = {0x0301};

inline constexpr LinkSettings PortioSettings{PortioProductIds, 30000, 20000};
inline constexpr LinkSettings UpdaterSettings{UpdaterProductIds, 300000, 100000};

} // namespace usblink

// Where a USB/IP server is: the value usbip://HOST[:PORT][/BUSID] of KVX512_USB.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform::usb {

inline constexpr uint16_t UsbipDefaultPort = 3240;

struct UsbipAddress {
    std::string host;            // name, IPv4 address, or IPv6 address without brackets
    uint16_t port = UsbipDefaultPort;
    std::string busId;           // empty: the first exported player
};

// Null when the text is not such an address: another scheme, no host, a port
// outside 1..65535, a bus ID that does not fit the 31 characters the protocol carries.
std::optional<UsbipAddress> ParseUsbipAddress(std::string_view text);

} // namespace platform::usb

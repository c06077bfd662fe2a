#include "platform/usb/usbip_address.h"

#include "platform/usb/usbip_protocol.h"

#include <charconv>

namespace platform::usb {

std::optional<UsbipAddress> ParseUsbipAddress(std::string_view text) {
    constexpr std::string_view Scheme = "usbip://";
    if (text.substr(0, Scheme.size()) != Scheme) {
        return std::nullopt;
    }
    text.remove_prefix(Scheme.size());
    UsbipAddress address;

    const size_t slash = text.find('/');
    std::string_view authority = text.substr(0, slash);
    if (slash != std::string_view::npos) {
        const std::string_view busId = text.substr(slash + 1);
        if (busId.size() >= usbip::BusIdSize || busId.find('/') != std::string_view::npos) {
            return std::nullopt;
        }
        address.busId = busId;
    }

    std::string_view port;
    if (!authority.empty() && authority.front() == '[') {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        address.host = authority.substr(1, close - 1);
        const std::string_view rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') {
                return std::nullopt;
            }
            port = rest.substr(1);
            if (port.empty()) {
                return std::nullopt;
            }
        }
    } else {
        const size_t colon = authority.find(':');
        address.host = authority.substr(0, colon);
        if (colon != std::string_view::npos) {
            port = authority.substr(colon + 1);
            if (port.empty()) {
                return std::nullopt;
            }
        }
    }
    if (address.host.empty()) {
        return std::nullopt;
    }
    if (!port.empty()) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (error != std::errc() || end != port.data() + port.size() || value == 0 || value > 0xFFFF) {
            return std::nullopt;
        }
        address.port = static_cast<uint16_t>(value);
    }
    return address;
}

} // namespace platform::usb

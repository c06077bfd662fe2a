// The values of KVX512_USB that name a USB/IP server, and those that do not.
#include "platform/usb/usbip_address.h"

#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using platform::usb::ParseUsbipAddress;

struct AddressCase {
    const char* name;
    std::string text;
    std::optional<std::string> host;   // nullopt: not an address
    uint16_t port = 3240;
    std::string busId;
};

AddressCase Good(const char* name, std::string text, std::string host, uint16_t port = 3240, std::string busId = "") {
    return {name, std::move(text), std::move(host), port, std::move(busId)};
}

AddressCase Bad(const char* name, std::string text) { return {name, std::move(text), std::nullopt, 0, ""}; }

class UsbipAddress : public ::testing::TestWithParam<AddressCase> {};

TEST_P(UsbipAddress, Parses) {
    const auto& c = GetParam();
    const auto address = ParseUsbipAddress(c.text);
    ASSERT_EQ(address.has_value(), c.host.has_value());
    if (address) {
        EXPECT_EQ(address->host, *c.host);
        EXPECT_EQ(address->port, c.port);
        EXPECT_EQ(address->busId, c.busId);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, UsbipAddress,
    ::testing::Values(
        Good("HostOnly", "usbip://127.0.0.1", "127.0.0.1"),
        Good("HostAndPort", "usbip://localhost:4000", "localhost", 4000),
        Good("HostAndBusId", "usbip://box/1-1.2", "box", 3240, "1-1.2"),
        Good("Everything", "usbip://10.0.0.2:65535/3-4", "10.0.0.2", 65535, "3-4"),
        Good("TrailingSlash", "usbip://box/", "box"),
        Good("Ipv6", "usbip://[::1]:3241/1-1", "::1", 3241, "1-1"),
        Good("Ipv6NoPort", "usbip://[fe80::1]", "fe80::1"),
        Good("LongestBusId", "usbip://h/" + std::string(31, 'b'), "h", 3240, std::string(31, 'b')),
        Bad("BusIdTooLong", "usbip://h/" + std::string(32, 'b')),
        Bad("OtherScheme", "http://127.0.0.1"),
        Bad("SchemeOnly", "usbip://"),
        Bad("NoHost", "usbip://:3240"),
        Bad("EmptyPort", "usbip://h:"),
        Bad("PortZero", "usbip://h:0"),
        Bad("PortTooBig", "usbip://h:65536"),
        Bad("PortNotANumber", "usbip://h:32x"),
        Bad("NegativePort", "usbip://h:-1"),
        Bad("UnclosedBracket", "usbip://[::1"),
        Bad("JunkAfterBracket", "usbip://[::1]x"),
        Bad("TwoSlashes", "usbip://h/1-1/2"),
        Bad("UpperCaseScheme", "USBIP://h")),
    testsupport::CaseName());

} // namespace

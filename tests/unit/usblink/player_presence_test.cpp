#include "usblink/player_presence.h"

#include "usblink/link_settings.h"

#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const char* UsbClass = "{36FC9E60-C465-11CF-8056-444553540000}";

struct PresenceCase {
    const char* name;
    std::string instanceId;
    std::string classGuid;
    bool portioFinds;
    bool updaterFinds;
};

class Presence : public ::testing::TestWithParam<PresenceCase> {};

TEST_P(Presence, ByInstanceIdAndClass) {
    const auto& c = GetParam();
    const std::vector<platform::usb::PresentDevice> devices{
        {"PCI\\VEN_8086&DEV_1234\\3&1", "{4D36E97D-E325-11CE-BFC1-08002BE10318}"}, {c.instanceId, c.classGuid}};
    EXPECT_EQ(usblink::IsPlayerListed(devices, usblink::PortioProductIds), c.portioFinds);
    EXPECT_EQ(usblink::IsPlayerListed(devices, usblink::UpdaterProductIds), c.updaterFinds);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, Presence,
    ::testing::Values(PresenceCase{"Main", "USB\\VID_0F9C&PID_0301\\5&1", UsbClass, true, true},
                      PresenceCase{"Second", "USB\\VID_0F9C&PID_1001\\5&1", UsbClass, true, false},
                      PresenceCase{"ReversedOrder", "USB\\PID_1001&VID_0F9C\\5&1", UsbClass, true, false},
                      PresenceCase{"Third", "USB\\VID_0F9C&PID_0321\\1", UsbClass, true, false},
                      PresenceCase{"LowerCaseGuid", "USB\\VID_0F9C&PID_0301\\1",
                                   "{36fc9e60-c465-11cf-8056-444553540000}", true, true},
                      PresenceCase{"OtherClass", "USB\\VID_0F9C&PID_0301\\1",
                                   "{4D36E97D-E325-11CE-BFC1-08002BE10318}", false, false},
                      PresenceCase{"OtherVendor", "USB\\VID_0F9D&PID_0301\\1", UsbClass, false, false},
                      PresenceCase{"OtherProduct", "USB\\VID_0F9C&PID_0302\\1", UsbClass, false, false},
                      PresenceCase{"LowerCaseHex", "USB\\VID_0f9c&PID_0301\\1", UsbClass, false, false}),
    testsupport::CaseName());

} // namespace

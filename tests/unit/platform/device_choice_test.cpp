// The seam narrowed to one device of the in-process bus: where each device is,
// and that a choice hides every other from the scan and the device list.
#include "platform/usb/usb_driver.h"
#include "sim/bus.h"
#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace platform::usb;

constexpr uint16_t Vendor = 0x0F9C;

// The process's own backend is made at its first use, from the environment:
// set before any test runs.
const bool environmentSet = setenv("KVX512_USB", "sim", 1) == 0 && setenv("KVX512_DEVICE", "sim-2", 1) == 0;

// sim-1 and sim-2 of one product, sim-3 unplugged, sim-4 another product, and
// a device of the list that is no player.
class SimBench : public ::testing::Test {
protected:
    void SetUp() override {
        auto& bus = kvx512sim::Bus::Instance();
        bus.Reset();
        bus.AddPlayer(0x0301);
        bus.AddPlayer(0x0301).Detach();
        bus.AddPlayer(0x1001);
        bus.AddListedDevice("USB\\VID_1234&PID_0001\\OTHER", UsbDeviceClassGuid);
    }
    void TearDown() override { kvx512sim::Bus::Instance().Reset(); }

    static std::vector<std::string> Listed(Backend& backend) {
        std::vector<std::string> instanceIds;
        for (const auto& device : backend.ListPresentDevices()) {
            instanceIds.push_back(device.instanceId);
        }
        return instanceIds;
    }
};

TEST_F(SimBench, LocationsNameEachAttachedPlayerByItsPlaceOnTheBus) {
    auto backend = MakeSimBackend();
    backend->Choose("sim-2");   // a choice hides nothing from the locations
    const auto locations = backend->ListLocations();
    ASSERT_EQ(locations.size(), 3u);
    const std::vector<std::pair<std::string, uint16_t>> expected{{"sim-1", 0x0301}, {"sim-2", 0x0301}, {"sim-4", 0x1001}};
    for (size_t i = 0; i < locations.size(); ++i) {
        EXPECT_EQ(locations[i].id, expected[i].first);
        EXPECT_EQ(locations[i].vendorId, Vendor);
        EXPECT_EQ(locations[i].productId, expected[i].second);
    }
    // The unique IDs are the ones a scan reports for the player.
    backend->Choose("");
    EXPECT_EQ(backend->OpenDriver()->Scan(Vendor, 0x0301).uniqueIds,
              (std::vector<uint32_t>{locations[0].uniqueId, locations[1].uniqueId}));
}

struct ChoiceCase {
    const char* name;
    std::string location;
    std::vector<uint32_t> scanned;        // of product 0x0301, as places on the bus
    std::vector<std::string> listed;
};

class SimChoice : public SimBench, public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(SimChoice, HidesEveryOtherDeviceFromScanAndList) {
    auto backend = MakeSimBackend();
    backend->Choose(GetParam().location);
    std::vector<uint32_t> places;
    for (uint32_t uniqueId : backend->OpenDriver()->Scan(Vendor, 0x0301).uniqueIds) {
        places.push_back(uniqueId - kvx512sim::FirstUniqueId + 1);
    }
    EXPECT_EQ(places, GetParam().scanned);
    EXPECT_EQ(Listed(*backend), GetParam().listed);
}

INSTANTIATE_TEST_SUITE_P(
    Locations, SimChoice,
    ::testing::Values(ChoiceCase{"None",
                                 "",
                                 {1, 2},
                                 {"USB\\VID_0F9C&PID_0301\\KVX512SIM0001", "USB\\VID_0F9C&PID_0301\\KVX512SIM0002",
                                  "USB\\VID_0F9C&PID_1001\\KVX512SIM0004", "USB\\VID_1234&PID_0001\\OTHER"}},
                      ChoiceCase{"Second", "sim-2", {2}, {"USB\\VID_0F9C&PID_0301\\KVX512SIM0002"}},
                      ChoiceCase{"OtherProduct", "sim-4", {}, {"USB\\VID_0F9C&PID_1001\\KVX512SIM0004"}},
                      ChoiceCase{"Unplugged", "sim-3", {}, {}},
                      ChoiceCase{"Unknown", "1-1", {}, {}}),
    testsupport::CaseName());

// The process's own backend took KVX512_DEVICE when it was made, and a later
// choice replaces it.
TEST_F(SimBench, EnvironmentChoosesForTheWholeProcess) {
    ASSERT_TRUE(environmentSet);
    EXPECT_EQ(ChosenDevice(), "sim-2");
    EXPECT_EQ(OpenDriver()->Scan(Vendor, 0x0301).uniqueIds, std::vector<uint32_t>{kvx512sim::FirstUniqueId + 1});
    EXPECT_EQ(ListPresentDevices().size(), 1u);
    ChooseDevice("sim-1");
    EXPECT_EQ(OpenDriver()->Scan(Vendor, 0x0301).uniqueIds, std::vector<uint32_t>{kvx512sim::FirstUniqueId});
    ChooseDevice("sim-2");
}

} // namespace

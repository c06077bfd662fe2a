// Waiting for the player in the device list.
#include "tests/unit/updater/recording_sheet.h"
#include "tests/support/case_name.h"
#include "updater/wizard/player_detection.h"

#include <thread>

namespace {

using updatertest::RecordingSheet;
using namespace updater;

class PlayerDetection : public updatertest::UpdaterTest {};

constexpr const char* UsbClass = "{36FC9E60-C465-11CF-8056-444553540000}";

struct ListCase {
    const char* name;
    const char* instanceId;
    const char* classGuid;
    bool accepted;
};

class DeviceList : public ::testing::TestWithParam<ListCase> {};

TEST_P(DeviceList, AcceptsOnlyTheUsbModePlayer) {
    const std::vector<platform::usb::PresentDevice> devices = {
        {"PCI\\VEN_8086&DEV_1234\\3&11583659&0&10", "{4D36E97D-E325-11CE-BFC1-08002BE10318}"},
        {GetParam().instanceId, GetParam().classGuid}};
    EXPECT_EQ(ListsPlayer(devices), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, DeviceList,
    ::testing::Values(ListCase{"Player", "USB\\VID_0F9C&PID_0301\\5&2A1B&0&1", UsbClass, true},
                      ListCase{"MarksInOtherOrder", "USB\\PID_0301&VID_0F9C\\1", UsbClass, true},
                      ListCase{"ClassInLowerCase", "USB\\VID_0F9C&PID_0301\\1",
                               "{36fc9e60-c465-11cf-8056-444553540000}", true},
                      ListCase{"OtherProduct1001", "USB\\VID_0F9C&PID_1001\\1", UsbClass, false},
                      ListCase{"OtherProduct0321", "USB\\VID_0F9C&PID_0321\\1", UsbClass, false},
                      ListCase{"MarksInLowerCase", "USB\\vid_0f9c&pid_0301\\1", UsbClass, false},
                      ListCase{"OtherClass", "USB\\VID_0F9C&PID_0301\\1", "{4D36E96C-E325-11CE-BFC1-08002BE10318}",
                               false}),
    testsupport::CaseName());

TEST_F(PlayerDetection, AttachedPlayerIsSeenTwiceHalfASecondApart) {
    RecordingSheet sheet;
    EXPECT_EQ(PlayerDetectWorker(sheet), 1u);
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_BACK | PSWIZB_NEXT});
    EXPECT_EQ(Slept(), 500u);
}

TEST_F(PlayerDetection, AfterTheFirmwareStepOnlyNextAndTheFlagIsCleared) {
    g_bReconnectExpected = 1;
    RecordingSheet sheet;
    EXPECT_EQ(PlayerDetectWorker(sheet), 1u);
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_NEXT});
    EXPECT_EQ(g_bReconnectExpected.load(), 0);
}

TEST_F(PlayerDetection, PlayerGoneDuringThePauseCountsWhenItComesBack) {
    // The player leaves during the pause after the first sighting and comes
    // back a little later; the second sighting need not be the next scan.
    std::thread comeBack;
    platform::SetClockHooks({[&](uint32_t ms) {
                                 slept_ += ms;
                                 Player().Detach();
                                 comeBack = std::thread([this] {
                                     std::this_thread::sleep_for(std::chrono::milliseconds(50));
                                     Player().Attach();
                                 });
                             },
                             {}});
    RecordingSheet sheet;
    EXPECT_EQ(PlayerDetectWorker(sheet), 1u);
    comeBack.join();
    EXPECT_EQ(Slept(), 500u) << "one pause only";
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_BACK | PSWIZB_NEXT});
}

TEST_F(PlayerDetection, ClosingTheSheetEndsTheSearch) {
    Player().Detach();
    kvx512sim::Bus::Instance().AddListedDevice("USB\\VID_0F9C&PID_1001\\2", UsbClass);
    RecordingSheet sheet;
    sheet.BeginThread([&sheet] { return PlayerDetectWorker(sheet); });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(sheet.Buttons().empty());
    sheet.Close();
    sheet.JoinAll();
    EXPECT_EQ(sheet.Results(), std::vector<unsigned>{0});
    EXPECT_TRUE(sheet.Buttons().empty());
}

} // namespace

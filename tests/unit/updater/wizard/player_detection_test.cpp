// Waiting for the player in the device list.
#include "tests/unit/updater/recording_sheet.h"
#include "tests/support/case_name.h"
#include "updater/engine/player_wait.h"
#include "updater/wizard/player_detection.h"

#include <thread>
#include <vector>

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

struct AbsenceCase {
    const char* name;
    int missesBefore;   // scans without the player before it is first seen
    int missesAfter;    // scans without it after that: it left during the pause
};

class Absence : public PlayerDetection, public ::testing::WithParamInterface<AbsenceCase> {};

TEST_P(Absence, EveryScanThatMissesPausesATenthOfASecond) {
    // The clock's pauses move the player: away for the case's scans, and
    // gone again during the pause after the first sighting. The second
    // sighting need not be the next scan.
    const auto& c = GetParam();
    int away = c.missesBefore;
    if (away > 0) {
        Player().Detach();
    }
    std::vector<uint32_t> pauses;
    platform::SetClockHooks({[&](uint32_t ms) {
                                 pauses.push_back(ms);
                                 if (ms == SecondLookDelayMs && c.missesAfter > 0) {
                                     Player().Detach();
                                     away = c.missesAfter;
                                 } else if (ms == MissedScanPauseMs && --away == 0) {
                                     Player().Attach();
                                 }
                             },
                             {}});
    RecordingSheet sheet;
    sheet.BeginThread([&sheet] { return PlayerDetectWorker(sheet); });
    // A search that never pauses never brings the player back: the limit
    // ends it, and the closing sheet stops the worker.
    ASSERT_TRUE(sheet.WaitForPost(PSWIZB_BACK | PSWIZB_NEXT, std::chrono::seconds(10)));
    sheet.JoinAll();
    std::vector<uint32_t> expected(static_cast<size_t>(c.missesBefore), 100);
    expected.push_back(500);
    expected.insert(expected.end(), static_cast<size_t>(c.missesAfter), 100);
    EXPECT_EQ(pauses, expected) << "one pause of 500 ms only";
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_BACK | PSWIZB_NEXT});
    EXPECT_EQ(sheet.Results(), std::vector<unsigned>{1});
}

INSTANTIATE_TEST_SUITE_P(Scans, Absence,
                         ::testing::Values(AbsenceCase{"AwayForThreeScans", 3, 0},
                                           AbsenceCase{"GoneDuringThePause", 0, 2},
                                           AbsenceCase{"AwayBeforeAndGoneDuringThePause", 4, 1}),
                         testsupport::CaseName());

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

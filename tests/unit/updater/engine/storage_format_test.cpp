// The whole-storage format of page 5.
#include "tests/unit/updater/recording_sheet.h"
#include "updater/engine/storage_format.h"

namespace {

using updatertest::RecordingSheet;
using namespace updater;

class StorageFormat : public updatertest::UpdaterTest {};

TEST_F(StorageFormat, LowLevelFormatReportsEveryStepUntil99) {
    ASSERT_TRUE(Player().PutFile(0, "/old.mp3", std::vector<uint8_t>(3000, 7)));
    Player().SetFormatPace(33, 0);
    Player().ClearTranscript();
    RecordingSheet sheet;
    EXPECT_EQ(FormatWholeStorage(0, sheet, WM_WIZ_PROGRESS), 0);
    const auto writes = Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1], Block({0x23, 0x00, 0x05, 0x3A, 0x4D, 0x4C, 0x44, 0x2E}));
    EXPECT_EQ(sheet.Positions(), (std::vector<LPARAM>{33, 66, 99}));
    EXPECT_FALSE(Player().FileData(0, "/old.mp3").has_value());
    EXPECT_EQ(EngineLink(), nullptr);
}

TEST_F(StorageFormat, OkReplyBefore99IsTakenForProgressAndTheWaitRunsOut) {
    // A player that ends its progress below 99 leaves the format waiting for
    // a reply that never comes, until the read time-out.
    Player().SetFormatPace(25, 0);
    SetLinkTimeouts(50, 50);
    RecordingSheet sheet;
    EXPECT_EQ(FormatWholeStorage(0, sheet, WM_WIZ_PROGRESS), -1);
    EXPECT_EQ(sheet.Positions(), (std::vector<LPARAM>{25, 50, 75, '.'}));
}

TEST_F(StorageFormat, RefusedFormatFailsWithoutProgress) {
    Player().RefuseNextCommand(0x05);
    RecordingSheet sheet;
    EXPECT_EQ(FormatWholeStorage(0, sheet, WM_WIZ_PROGRESS), -1);
    EXPECT_TRUE(sheet.Positions().empty());
    EXPECT_EQ(EngineLink(), nullptr);
}

TEST_F(StorageFormat, NoLinkSetsTheRangeToNothing) {
    Player().Detach();
    RecordingSheet sheet;
    EXPECT_EQ(FormatWholeStorage(0, sheet, WM_WIZ_PROGRESS), -1);
    const auto events = sheet.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].message, WM_WIZ_PROGRESS);
    EXPECT_EQ(events[0].wParam, ProgressRange);
    EXPECT_EQ(events[0].lParam, 0);
}

TEST_F(StorageFormat, WorkerFailureOffersFinishWithText120) {
    Player().RefuseNextCommand(0x05);
    g_bBusy = 1;
    RecordingSheet sheet;
    EXPECT_EQ(FormatWorker(sheet), 1u);
    sheet.JoinAll();
    EXPECT_EQ(sheet.format.mainText, WizardText(120));
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_FINISH});
    EXPECT_EQ(g_bBusy.load(), 0);
    EXPECT_EQ(sheet.ProgressCommands(), std::vector<WPARAM>{ProgressShow}) << "the bar stays shown";
    const auto refresh = sheet.Events().back();
    EXPECT_EQ(refresh.kind, updatertest::SheetEvent::Kind::Post);
    EXPECT_EQ(Link::ReadTimeout(), 300000u);
}

TEST_F(StorageFormat, WorkerWithoutLinkReturnsZero) {
    Player().Detach();
    RecordingSheet sheet;
    EXPECT_EQ(FormatWorker(sheet), 0u);
    EXPECT_EQ(sheet.format.mainText, WizardText(120));
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_FINISH});
}

TEST_F(StorageFormat, WorkerSuccessGoesOnToTheFont) {
    Player().SetFormatPace(33, 0);
    g_bBusy = 1;
    RecordingSheet sheet;
    EXPECT_EQ(FormatWorker(sheet), 1u);
    sheet.JoinAll();
    EXPECT_EQ(sheet.Results(), (std::vector<unsigned>{1}));   // the font worker's
    EXPECT_EQ(sheet.format.mainText, WizardText(122));
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_FINISH});
    EXPECT_EQ(g_bBusy.load(), 0);
    EXPECT_EQ(Player().FontData().size(), 2093088u);
}

} // namespace

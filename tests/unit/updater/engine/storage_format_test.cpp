// The whole-storage format.
#include "tests/support/case_name.h"
#include "tests/unit/updater/recording_sheet.h"
#include "updater/engine/storage_format.h"
#include "updater/wizard/sheet_progress.h"

namespace {

using updatertest::RecordingSheet;
using namespace updater;

class StorageFormat : public updatertest::UpdaterTest {};

struct PaceCase {
    const char* name;
    int step;
    std::vector<LPARAM> positions;
};

class FormatPace : public StorageFormat, public ::testing::WithParamInterface<PaceCase> {};

TEST_P(FormatPace, LowLevelFormatReportsEveryStepAndEndsOnTheOkReply) {
    // Steps that stop short of 99 are followed straight by the OK reply,
    // whose fifth byte ('.') is no percentage. A format that kept waiting
    // would run into the short time-out.
    ASSERT_TRUE(Player().PutFile(0, "/old.mp3", std::vector<uint8_t>(3000, 7)));
    Player().SetFormatPace(GetParam().step, 0);
    SetLinkTimeouts(50, 50);
    Player().ClearTranscript();
    RecordingSheet sheet;
    SheetProgress progress(sheet);
    EXPECT_EQ(FormatStorage(0, progress), Outcome::Done);
    const auto writes = Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1], Block({0x23, 0x00, 0x05, 0x3A, 0x4D, 0x4C, 0x44, 0x2E}));
    EXPECT_EQ(sheet.Positions(), GetParam().positions);
    EXPECT_FALSE(Player().FileData(0, "/old.mp3").has_value());
    EXPECT_EQ(Player().PendingReplies(), 0u);
    EXPECT_EQ(EngineLink(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Paces, FormatPace,
                         ::testing::Values(PaceCase{"StepsReach99", 33, {33, 66, 99}},
                                           PaceCase{"StepsStopAt75", 25, {25, 50, 75}},
                                           PaceCase{"StepsStopAt80", 40, {40, 80}},
                                           PaceCase{"NoSteps", 100, {}}),
                         testsupport::CaseName());

TEST_F(StorageFormat, RefusedFormatFailsWithoutProgress) {
    Player().RefuseNextCommand(0x05);
    RecordingSheet sheet;
    SheetProgress progress(sheet);
    EXPECT_EQ(FormatStorage(0, progress), Outcome::Refused);
    EXPECT_TRUE(sheet.Positions().empty());
    EXPECT_EQ(EngineLink(), nullptr);
}

TEST_F(StorageFormat, NoLinkSetsTheRangeToNothing) {
    Player().Detach();
    RecordingSheet sheet;
    SheetProgress progress(sheet);
    EXPECT_EQ(FormatStorage(0, progress), Outcome::LinkFailed);
    const auto events = sheet.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].message, WM_WIZ_PROGRESS);
    EXPECT_EQ(events[0].wParam, ProgressRange);
    EXPECT_EQ(events[0].lParam, 0);
}

} // namespace

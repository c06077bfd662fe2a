// The firmware step of page 4 against the simulated player's loader, and
// the erase timer.
#include "tests/support/case_name.h"
#include "tests/unit/updater/download_fixtures.h"
#include "updater/engine/code_area_erase.h"
#include "updater/wizard/erase_timer.h"
#include "updater/wizard/firmware_update_worker.h"
#include "updater/wizard/sheet_progress.h"

#include <algorithm>

namespace {

using updatertest::RecordingSheet;
using namespace updater;
namespace fs = std::filesystem;

class FirmwareWorker : public updatertest::FirmwareTest {};

TEST_F(FirmwareWorker, WritesTheCarriedImageAndWaitsForTheReconnection) {
    RecordingSheet sheet;
    EXPECT_EQ(FirmwareUpdateWorker(sheet), 1u);
    sheet.JoinAll();

    const auto writes = Writes();
    ASSERT_EQ(writes.size(), 4u + 845u);
    EXPECT_EQ(writes[1], Block({0x23, 0x00, 0x06, 0x3A, 0x47, 0x4F, 0x10, 0x00, 0x2E}));
    EXPECT_EQ(writes[2], Block({0x23, 0x00, 0x05, 0x3A, 0x43, 0x03, 0x50, 0x2E}));
    EXPECT_EQ(writes[3], Block({0x23, 0x00, 0x07, 0x3A, 0x43, 0x01, 0x50, 0x03, 0x4D, 0x2E}));
    Bytes image = CarriedImage();
    ASSERT_EQ(image.size(), 432326u);
    image.resize(845 * 512, 0);
    Bytes sent;
    for (size_t i = 4; i < writes.size(); ++i) {
        ASSERT_EQ(writes[i].size(), 512u);
        sent.insert(sent.end(), writes[i].begin(), writes[i].end());
    }
    EXPECT_EQ(sent, image) << "the last block carries 198 image bytes and 314 zeros";
    EXPECT_EQ(Player().Firmware().ProgrammedImage(), image);
    EXPECT_EQ(Player().Firmware().AnnouncedBlocks(), 845);

    for (const auto& transfer : Player().GetTranscript().Transfers()) {
        if (transfer.in && transfer.pipe == 0x83 && transfer.options == 0) {
            EXPECT_EQ(transfer.timeoutMs, 3000000u);
        }
    }
    EXPECT_EQ(EngineLinkLayer().ReadTimeout(), 300000u);

    // The erase's steps, the bar back to 0, the blocks (never past 98), then
    // 100 on the OK reply and 0 at the end.
    const auto positions = sheet.Positions();
    ASSERT_GE(positions.size(), 4u);
    EXPECT_EQ(std::vector<LPARAM>(positions.end() - 2, positions.end()), (std::vector<LPARAM>{100, 0}));
    const std::vector<LPARAM> barReset = {0, 0};
    const auto blocksStart = std::search(positions.begin(), positions.end(), barReset.begin(), barReset.end());
    ASSERT_NE(blocksStart, positions.end());
    EXPECT_TRUE(std::all_of(blocksStart, positions.end() - 2, [](LPARAM p) { return p <= 98; }));
    EXPECT_EQ(*(positions.end() - 3), 98);
    const auto commands = sheet.ProgressCommands();
    EXPECT_EQ(commands.front(), ProgressShow);
    EXPECT_EQ(commands.back(), ProgressHide);

    bool stageShown = false;
    for (const auto& event : sheet.Events()) {
        stageShown |= event.message == WM_WIZ_LABEL && event.wParam == 1;
    }
    EXPECT_TRUE(stageShown);
    EXPECT_EQ(sheet.firmware.stageLabel, "");
    EXPECT_EQ(sheet.firmware.partLabel, "");
    EXPECT_EQ(sheet.firmware.mainText, WizardText(TextId::ReconnectForFormat));
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_NEXT}) << "from the player detection";
    EXPECT_EQ(g_bReconnectExpected.load(), 0);
    EXPECT_EQ(g_bBusy.load(), 0);
    EXPECT_EQ(Player().GetIdentification().version, "1.4322");
    EXPECT_TRUE(fs::is_empty(folder)) << "temporary files are gone";
}

// Records, with each bar position, how many image blocks the player had been given.
class BlockCountingSheet : public RecordingSheet {
public:
    explicit BlockCountingSheet(kvx512sim::Player& player) : player_(player) {}

    updater::LRESULT SendSheetMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_WIZ_PROGRESS && wParam == ProgressPosition) {
            const size_t blocks = player_.Firmware().ProgrammedImage().size() / 512;
            std::lock_guard lock(mutex_);
            positions_.emplace_back(blocks, lParam);
        }
        return RecordingSheet::SendSheetMessage(message, wParam, lParam);
    }
    std::vector<std::pair<size_t, LPARAM>> Positions() const {
        std::lock_guard lock(mutex_);
        return positions_;
    }

private:
    kvx512sim::Player& player_;
    mutable std::mutex mutex_;
    std::vector<std::pair<size_t, LPARAM>> positions_;
};

TEST_F(FirmwareWorker, BarFollowsTheBlocksWhileTheImageIsSent) {
    constexpr size_t ImageBlocks = 845;
    BlockCountingSheet sheet(Player());
    EXPECT_EQ(FirmwareUpdateWorker(sheet), 1u);
    sheet.JoinAll();
    LPARAM previous = 0;
    LPARAM highest = 0;
    LPARAM worstLag = 0;   // percent of the blocks taken that the bar does not show
    size_t between = 0;
    bool wentBack = false;
    for (const auto& [blocks, position] : sheet.Positions()) {
        if (blocks == 0 || blocks >= ImageBlocks) {
            continue;   // the erase before, the end after
        }
        wentBack |= position < previous;
        worstLag = std::max(worstLag, static_cast<LPARAM>(blocks * 100 / ImageBlocks) - position);
        highest = std::max(highest, position);
        between += position > 0 && position < 100 ? 1 : 0;
        previous = position;
    }
    EXPECT_FALSE(wentBack);
    EXPECT_LE(worstLag, 2);
    EXPECT_LE(highest, 98) << "full only once the player confirmed";
    EXPECT_GE(between, 90u) << "positions strictly between 0 and 100 while the image is sent";
}

struct PathCase {
    const char* name;
    uint8_t appFirmware;
    uint32_t version;
    bool finished;   // text 122 at once; otherwise text 113 and the reconnection
};

class FirmwareOutcome : public FirmwareWorker, public ::testing::WithParamInterface<PathCase> {};

TEST_P(FirmwareOutcome, FormatFollowsUnlessApplicationFirmwareWas1_43_15) {
    g_bAppFirmware = GetParam().appFirmware;
    g_dwPlayerVersion = GetParam().version;
    RecordingSheet sheet;
    EXPECT_EQ(FirmwareUpdateWorker(sheet), 1u);
    sheet.JoinAll();
    if (GetParam().finished) {
        EXPECT_EQ(sheet.firmware.mainText, WizardText(TextId::AllDone));
        EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_FINISH});
        EXPECT_EQ(sheet.Results(), std::vector<unsigned>{}) << "no detection started";
    } else {
        EXPECT_EQ(sheet.firmware.mainText, WizardText(TextId::ReconnectForFormat));
        EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_NEXT});
        EXPECT_EQ(sheet.Results(), std::vector<unsigned>{1}) << "the player detection";
    }
    EXPECT_EQ(g_bBusy.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(Players, FirmwareOutcome,
                         ::testing::Values(PathCase{"Application1_43_15", 1, 0x14315, true},
                                           PathCase{"Application1_43_22", 1, 0x14322, true},
                                           PathCase{"Application1_43_14", 1, 0x14314, false},
                                           PathCase{"BootCode1_43_22", 0, 0x14322, false},
                                           PathCase{"VersionNotRead", 1, 0, false}),
                         testsupport::CaseName());

TEST_F(FirmwareWorker, EraseWithoutCountsRunsTheTimer) {
    SetFirmware([](auto& s) {
        s.countedErase = false;
        s.eraseDelayMs = 100;
    });
    RecordingSheet sheet;
    SheetProgress progress(sheet);
    ASSERT_EQ(EraseCodeArea(ReopenEngineLink(), progress), Outcome::Done);
    sheet.JoinAll();
    const auto writes = Writes();
    EXPECT_EQ(writes.back(), Block({0x23, 0x00, 0x05, 0x3A, 0x43, 0x02, 0x50, 0x2E}));
    EXPECT_EQ(sheet.Results(), std::vector<unsigned>{1}) << "the timer ran and ended";
    const auto positions = sheet.Positions();
    EXPECT_NE(std::find(positions.begin(), positions.end(), 100), positions.end());
    EXPECT_TRUE(g_bStopEraseTimer);
}

TEST_F(FirmwareWorker, EraseTimerMovesTheBarOverTwentySeconds) {
    g_bStopEraseTimer = false;
    RecordingSheet sheet;
    EXPECT_EQ(EraseTimerWorker(sheet), 1u);
    const auto positions = sheet.Positions();
    EXPECT_EQ(Slept(), 20000u);
    EXPECT_EQ(positions.back(), 100);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    g_bStopEraseTimer = true;
}

struct CompletionCase {
    const char* name;
    int busyReplies;
    bool succeeds;
};

class Completion : public FirmwareWorker, public ::testing::WithParamInterface<CompletionCase> {};

TEST_P(Completion, OtherRepliesAreSkippedUpTo2000) {
    SetFirmware([](auto& s) {
        s.busyRepliesAfterProgram = GetParam().busyReplies;
        s.eraseSteps = 0;
    });
    RecordingSheet sheet;
    EXPECT_EQ(FirmwareUpdateWorker(sheet), GetParam().succeeds ? 1u : 0u);
    sheet.JoinAll();
    if (GetParam().succeeds) {
        EXPECT_EQ(sheet.firmware.mainText, WizardText(TextId::ReconnectForFormat));
        return;
    }
    EXPECT_EQ(sheet.firmware.mainText, WizardText(TextId::FirmwareFailed));
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_FINISH});
    const auto positions = sheet.Positions();
    EXPECT_EQ(positions.back(), 0);
    EXPECT_EQ(std::count(positions.begin(), positions.end(), 100), 0);
    EXPECT_EQ(sheet.ProgressCommands().back(), ProgressHide);
    EXPECT_EQ(g_bBusy.load(), 0);
    EXPECT_EQ(EngineLink(), nullptr);
    EXPECT_EQ(EngineLinkLayer().ReadTimeout(), 3000000u) << "left raised after a failure";
    EXPECT_TRUE(fs::is_empty(folder));
}

INSTANTIATE_TEST_SUITE_P(Replies, Completion,
                         ::testing::Values(CompletionCase{"OkAfter1999Others", 1999, true},
                                           CompletionCase{"NoOkWithin2000", 2000, false}),
                         testsupport::CaseName());

TEST_F(FirmwareWorker, UnreachablePlayerFailsBeforeAnyCommand) {
    Player().Detach();
    RecordingSheet sheet;
    EXPECT_EQ(FirmwareUpdateWorker(sheet), 0u);
    EXPECT_TRUE(Writes().empty());
    EXPECT_EQ(sheet.firmware.mainText, WizardText(TextId::FirmwareFailed));
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_FINISH});
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(FirmwareWorker, SetUpReplyIsNotExamined) {
    Player().RefuseNextCommand(0x01);
    RecordingSheet sheet;
    EXPECT_EQ(FirmwareUpdateWorker(sheet), 1u);
    sheet.JoinAll();
    EXPECT_EQ(sheet.firmware.mainText, WizardText(TextId::ReconnectForFormat));
}

} // namespace

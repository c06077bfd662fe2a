// Page 5's format thread.
#include "tests/unit/updater/recording_sheet.h"
#include "updater/wizard/format_worker.h"

namespace {

using updatertest::RecordingSheet;
using namespace updater;

class FormatWorkerTest : public updatertest::UpdaterTest {};

TEST_F(FormatWorkerTest, WorkerFailureOffersFinishWithText120) {
    Player().RefuseNextCommand(0x05);
    g_bBusy = 1;
    RecordingSheet sheet;
    EXPECT_EQ(FormatWorker(sheet), 1u);
    sheet.JoinAll();
    EXPECT_EQ(sheet.format.mainText, WizardText(TextId::FormatFailed));
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_FINISH});
    EXPECT_EQ(g_bBusy.load(), 0);
    EXPECT_EQ(sheet.ProgressCommands(), std::vector<WPARAM>{ProgressShow}) << "the bar stays shown";
    const auto refresh = sheet.Events().back();
    EXPECT_EQ(refresh.kind, updatertest::SheetEvent::Kind::Post);
    EXPECT_EQ(EngineLinkLayer().ReadTimeout(), 300000u);
}

TEST_F(FormatWorkerTest, WorkerWithoutLinkReturnsZero) {
    Player().Detach();
    RecordingSheet sheet;
    EXPECT_EQ(FormatWorker(sheet), 0u);
    EXPECT_EQ(sheet.format.mainText, WizardText(TextId::FormatFailed));
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_FINISH});
}

TEST_F(FormatWorkerTest, WorkerSuccessGoesOnToTheFont) {
    Player().SetFormatPace(33, 0);
    g_bBusy = 1;
    RecordingSheet sheet;
    EXPECT_EQ(FormatWorker(sheet), 1u);
    sheet.JoinAll();
    EXPECT_EQ(sheet.Results(), (std::vector<unsigned>{1}));   // the font worker's
    EXPECT_EQ(sheet.format.mainText, WizardText(TextId::AllDone));
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_FINISH});
    EXPECT_EQ(g_bBusy.load(), 0);
    EXPECT_EQ(Player().FontData().size(), 2093088u);
}

} // namespace

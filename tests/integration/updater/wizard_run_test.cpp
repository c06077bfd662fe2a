// The wizard's pages one after the other, as the sheet runs them, against
// the simulated player: the whole update from the manager check to the font.
#include "tests/support/case_name.h"
#include "tests/unit/updater/recording_sheet.h"
#include "updater/wizard/page_activation.h"
#include "updater/wizard/version_page.h"

namespace {

using updatertest::RecordingSheet;
using namespace updater;

struct RunCase {
    const char* name;
    const char* identity;
    const char* version;
    bool asked;       // text 116 before page 4
    bool formatted;   // pages 5 ran
};

class WizardRun : public updatertest::UpdaterTest, public ::testing::WithParamInterface<RunCase> {};

TEST_P(WizardRun, BringsThePlayerToTheCarriedFirmware) {
    const auto& c = GetParam();
    kvx512sim::Identification identification;
    identification.identity = c.identity;
    identification.version = c.version;
    Player().SetIdentification(identification);
    ASSERT_TRUE(Player().PutFile(0, "/song.mp3", std::vector<uint8_t>(5000, 1)));

    RecordingSheet sheet;
    ActivateIntroPage(sheet);
    ASSERT_TRUE(sheet.WaitForPost(PSWIZB_NEXT));
    ActivateConnectPage(sheet);
    ASSERT_TRUE(sheet.WaitForPost(PSWIZB_BACK | PSWIZB_NEXT));
    sheet.JoinAll();

    ActivateVersionPage(sheet);
    EXPECT_EQ(sheet.version.informationText, WizardText(TextId::VersionShown));
    EXPECT_EQ(LeaveVersionPage(sheet), 0);
    EXPECT_EQ(sheet.MessageBoxes().size(), c.asked ? 1u : 0u);

    ActivateFirmwarePage(sheet);
    EXPECT_EQ(g_bBusy.load(), 1);
    if (!c.formatted) {
        ASSERT_TRUE(sheet.WaitForPost(PSWIZB_FINISH));
        sheet.JoinAll();
        EXPECT_EQ(sheet.firmware.mainText, WizardText(TextId::AllDone));
        EXPECT_TRUE(Player().FileData(0, "/song.mp3").has_value()) << "no format";
    } else {
        // Text 113, then Next once the player is back in USB mode.
        ASSERT_TRUE(sheet.WaitForPost(PSWIZB_NEXT));
        sheet.JoinAll();
        EXPECT_EQ(sheet.firmware.mainText, WizardText(TextId::ReconnectForFormat));
        ActivateFormatPage(sheet);
        ASSERT_TRUE(sheet.WaitForPost(PSWIZB_FINISH));
        sheet.JoinAll();
        EXPECT_EQ(sheet.format.mainText, WizardText(TextId::AllDone));
        EXPECT_FALSE(Player().FileData(0, "/song.mp3").has_value()) << "formatted";
        EXPECT_EQ(Player().FontData().size(), 2093088u);
    }
    EXPECT_EQ(g_bBusy.load(), 0);
    EXPECT_EQ(Player().GetIdentification().version, "1.4322");
    EXPECT_EQ(Player().GetIdentification().identity, "APPL");
    EXPECT_EQ(Player().Firmware().AnnouncedBlocks(), 845);

    std::vector<LPARAM> buttons = {0, PSWIZB_NEXT, 0, PSWIZB_BACK | PSWIZB_NEXT, 0, PSWIZB_BACK | PSWIZB_NEXT, 0};
    if (c.formatted) {
        buttons.insert(buttons.end(), {PSWIZB_NEXT, 0});
    }
    buttons.push_back(PSWIZB_FINISH);
    EXPECT_EQ(sheet.Buttons(), buttons);
}

INSTANTIATE_TEST_SUITE_P(Players, WizardRun,
                         ::testing::Values(RunCase{"OldApplication", "APPL", "1.4310", false, true},
                                           RunCase{"CurrentApplication", "APPL", "1.4322", true, false},
                                           RunCase{"NoFormatNeeded", "APPL", "1.4315", false, false},
                                           RunCase{"BootCode", "BOOT", "1.4322", false, true}),
                         testsupport::CaseName());

TEST_F(WizardRun, CancelIsSwallowedOnlyWhileBusy) {
    EXPECT_FALSE(SwallowsCommand(2));
    g_bBusy = 1;
    EXPECT_TRUE(SwallowsCommand(2));
    EXPECT_FALSE(SwallowsCommand(1)) << "other buttons still work";
}

} // namespace

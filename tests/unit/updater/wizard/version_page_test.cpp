// Page 3: the identity read, the shown version and the question of text 116.
#include "tests/unit/updater/recording_sheet.h"
#include "tests/support/case_name.h"
#include "updater/wizard/player_identity.h"
#include "updater/wizard/version_page.h"

#include <cstring>
#include <optional>
#include <string>

namespace {

using updatertest::RecordingSheet;
using namespace updater;

class VersionRead : public updatertest::UpdaterTest {};

struct IdentityCase {
    const char* name;
    const char* identity;                 // identity word; empty: the text ends after the skipped words
    const char* version;                  // version word; empty: none
    std::optional<std::string> rawText;   // the whole text instead
    uint32_t number;
    const char* shown;
    uint8_t appFirmware;
    bool asks;
};

class VersionPage : public updatertest::UpdaterTest, public ::testing::WithParamInterface<IdentityCase> {};

TEST_P(VersionPage, ShowsTheVersionAndAsksOnlyForCurrentFirmware) {
    const auto& c = GetParam();
    kvx512sim::Identification identification;
    identification.identity = c.identity;
    identification.version = c.version;
    identification.rawText = c.rawText;
    Player().SetIdentification(identification);
    Player().ClearTranscript();

    RecordingSheet sheet;
    ActivateVersionPage(sheet);
    EXPECT_EQ(g_dwPlayerVersion.load(), c.number);
    EXPECT_EQ(sheet.version.versionText, c.shown);
    EXPECT_EQ(g_bAppFirmware.load(), c.appFirmware);
    EXPECT_EQ(sheet.version.informationText, WizardText(TextId::VersionShown));
    EXPECT_EQ(sheet.Buttons(), (std::vector<LPARAM>{0, PSWIZB_BACK | PSWIZB_NEXT}));
    // The link's handshake, then the identification command of the page.
    const auto writes = Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1], Block({0x23, 0x00, 0x03, 0x3A, 0x59, 0x2E}));

    sheet.Answer(IDYES);
    EXPECT_EQ(LeaveVersionPage(sheet), 0);
    const auto boxes = sheet.MessageBoxes();
    ASSERT_EQ(boxes.size(), c.asks ? 1u : 0u);
    if (c.asks) {
        EXPECT_EQ(boxes[0].text, WizardText(TextId::AlreadyCurrent));
        EXPECT_EQ(boxes[0].style, MB_YESNO);
    }
}

const std::string Signature = "KORVANEXT KVX512 FILE SYSTEM";

INSTANTIATE_TEST_SUITE_P(
    Identities, VersionPage,
    ::testing::Values(
        IdentityCase{"CurrentApplication", "APPL", "1.4322", {}, 0x14322, "1.43.22", 1, true},
        IdentityCase{"CurrentBootCode", "BOOT", "1.4322", {}, 0x14322, "BOOT 1.43.22", 0, false},
        IdentityCase{"TextEndsAfterTheSkippedWords", "", "", Signature + " FS2 FAT16 USB2", 0x12000, "1.20.00", 1, false},
        IdentityCase{"NoVersionWord", "APPL", "", {}, 0x12500, "1.25.00", 1, false},
        IdentityCase{"VersionWordNotANumber", "APPL", "V1", {}, 0x12500, "1.25.00", 1, false},
        IdentityCase{"VersionWithTwoPoints", "APPL", "1.43.22", {}, 0x14300, "1.43.00", 1, false},
        IdentityCase{"NoFormatNeededButOlder", "APPL", "1.4315", {}, 0x14315, "1.43.15", 1, false},
        IdentityCase{"Newer", "APPL", "1.5", {}, 0x15000, "1.50.00", 1, true},
        IdentityCase{"NextMajor", "APPL", "2", {}, 0x20000, "2.00.00", 1, true},
        IdentityCase{"MajorZero", "APPL", "0.4322", {}, 0x4322, "4.32.2", 1, true},
        IdentityCase{"MajorTen", "APPL", "10.4322", {}, 0x104322, "1.04.32", 1, false},
        IdentityCase{"SignatureInLowerCase", "APPL", "1.4322", "korvanext kvx512 file system FS2 FAT16 USB2 APPL 1.4322",
                     0, "0.", 1, false},
        IdentityCase{"SignatureOnly", "", "", Signature, 0, "0.", 1, false},
        IdentityCase{"TooFewWords", "", "", Signature + " FS2 FAT16", 0, "0.", 1, false},
        IdentityCase{"ExtraWordsAfterTheVersion", "APPL", "1.4322 EXTRA WORDS", {}, 0x14322, "1.43.22", 1, true}),
    testsupport::CaseName());

TEST_F(VersionRead, IdentityTextRunsFromTheIdentityWord) {
    IdentityText identity{};
    uint32_t version = 0;
    ASSERT_TRUE(ReadPlayerIdentity(identity, version));
    EXPECT_STREQ(identity.data(), "APPL 1.4310");
    EXPECT_EQ(version, 0x14310u);
}

TEST_F(VersionRead, UnreadablePlayerOffersFinishWithText112) {
    g_dwPlayerVersion = 0x777;
    g_bAppFirmware = 1;
    for (int round = 0; round < 2; ++round) {
        RecordingSheet sheet;
        sheet.version.versionText = "stale";
        if (round == 0) {
            Player().Detach();
        } else {
            kvx512sim::Bus::Instance().SetDriverAvailable(false);
        }
        ActivateVersionPage(sheet);
        EXPECT_EQ(sheet.version.versionText, "");
        EXPECT_EQ(sheet.version.informationText, WizardText(TextId::VersionUnread));
        EXPECT_EQ(sheet.Buttons(), (std::vector<LPARAM>{0, PSWIZB_FINISH}));
        EXPECT_EQ(g_dwPlayerVersion.load(), 0x777u) << "kept";
        EXPECT_EQ(g_bAppFirmware.load(), 1);
    }
}

TEST_F(VersionRead, DecliningTheQuestionStaysWithText123) {
    kvx512sim::Identification identification;
    identification.version = "1.4322";
    Player().SetIdentification(identification);
    RecordingSheet sheet;
    ActivateVersionPage(sheet);
    sheet.Answer(IDNO);
    EXPECT_EQ(LeaveVersionPage(sheet), -1);
    EXPECT_EQ(sheet.version.informationText, WizardText(TextId::VersionKept));
    EXPECT_EQ(sheet.Buttons().back(), PSWIZB_FINISH);
    EXPECT_EQ(sheet.Events().back().kind, updatertest::SheetEvent::Kind::Refresh);
}

TEST(ShownVersion, CutsWhereTheDigitsRunOut) {
    EXPECT_EQ(ShownVersionText(0x123, false), "1.23.");
    EXPECT_EQ(ShownVersionText(0x12, false), "1.2");
    EXPECT_EQ(ShownVersionText(0, true), "BOOT 0.");
    EXPECT_EQ(ShownVersionText(0x12345678, false), "1.23.45");
}

} // namespace

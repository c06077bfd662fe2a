// The firmware step of page 4 against the simulated player's loader.
#include "tests/support/case_name.h"
#include "tests/unit/updater/recording_sheet.h"
#include "updater/engine/firmware_download.h"
#include "updater/engine/hex_image.h"
#include "platform/system/temporary_file.h"
#include "updater/resources/embedded_resources.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using updatertest::RecordingSheet;
using namespace updater;
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class FirmwareDownload : public updatertest::UpdaterTest {
protected:
    void SetUp() override {
        UpdaterTest::SetUp();
        folder = fs::temp_directory_path() / ("firmware-download-" + std::to_string(getpid()));
        fs::create_directories(folder);
        setenv("TMPDIR", folder.c_str(), 1);
        g_bAppFirmware = 1;
        g_dwPlayerVersion = 0x14310;
        g_bBusy = 1;
        Player().ClearTranscript();
    }
    void TearDown() override {
        unsetenv("TMPDIR");
        fs::remove_all(folder);
        UpdaterTest::TearDown();
    }

    void SetFirmware(const std::function<void(kvx512sim::FirmwareSettings&)>& change) {
        kvx512sim::FirmwareSettings settings;
        change(settings);
        Player().SetFirmwareSettings(settings);
    }

    // The carried image as the conversion lays it out.
    static Bytes CarriedImage() {
        const std::string hex = platform::CreateTemporaryFile("hex");
        const std::string flat = platform::CreateTemporaryFile("flat");
        const auto text = resources::FindResource(resources::FirmwareHexResource);
        platform::WriteWholeFile(hex, text.data(), text.size());
        ConvertHexImage(hex, flat, ApplicationBase);
        std::ifstream in(flat, std::ios::binary);
        Bytes bytes(std::istreambuf_iterator<char>(in), {});
        std::remove(hex.c_str());
        std::remove(flat.c_str());
        return bytes;
    }

    std::string FlatFile(size_t size) {
        const std::string path = (folder / "image.bin").string();
        std::ofstream out(path, std::ios::binary);
        out.seekp(static_cast<std::streamoff>(size));
        if (size > 0) {
            out.seekp(static_cast<std::streamoff>(size - 1));
            out.put('\x5A');
        }
        return path;
    }

    fs::path folder;
};

TEST_F(FirmwareDownload, WritesTheCarriedImageAndWaitsForTheReconnection) {
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
    EXPECT_EQ(Link::ReadTimeout(), 300000u);

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
    EXPECT_EQ(sheet.firmware.mainText, WizardText(113));
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_NEXT}) << "from the player detection";
    EXPECT_EQ(g_bReconnectExpected.load(), 0);
    EXPECT_EQ(g_bBusy.load(), 0);
    EXPECT_EQ(Player().GetIdentification().version, "1.4322");
    EXPECT_TRUE(fs::is_empty(folder)) << "temporary files are gone";
}

struct PathCase {
    const char* name;
    uint8_t appFirmware;
    uint32_t version;
    bool finished;   // text 122 at once; otherwise text 113 and the reconnection
};

class FirmwareOutcome : public FirmwareDownload, public ::testing::WithParamInterface<PathCase> {};

TEST_P(FirmwareOutcome, FormatFollowsUnlessApplicationFirmwareWas1_43_15) {
    g_bAppFirmware = GetParam().appFirmware;
    g_dwPlayerVersion = GetParam().version;
    RecordingSheet sheet;
    EXPECT_EQ(FirmwareUpdateWorker(sheet), 1u);
    sheet.JoinAll();
    if (GetParam().finished) {
        EXPECT_EQ(sheet.firmware.mainText, WizardText(122));
        EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_FINISH});
        EXPECT_EQ(sheet.Results(), std::vector<unsigned>{}) << "no detection started";
    } else {
        EXPECT_EQ(sheet.firmware.mainText, WizardText(113));
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

TEST_F(FirmwareDownload, CountedEraseReportsEachStep) {
    SetFirmware([](auto& s) { s.eraseSteps = 4; });
    RecordingSheet sheet;
    ASSERT_TRUE(EraseCodeArea(sheet, ReopenEngineLink()));
    // (n + 2) x 100 / total for n = 0..3, then the bar back to 0 twice.
    EXPECT_EQ(sheet.Positions(), (std::vector<LPARAM>{50, 75, 100, 125, 0, 0}));
    EXPECT_EQ(Player().PendingReplies(), 0u) << "every erase reply was taken";
}

TEST_F(FirmwareDownload, CountedEraseWithTotalZeroReadsOneFinalReply) {
    SetFirmware([](auto& s) { s.eraseSteps = 0; });
    RecordingSheet sheet;
    ASSERT_TRUE(EraseCodeArea(sheet, ReopenEngineLink()));
    EXPECT_EQ(sheet.Positions(), (std::vector<LPARAM>{0, 0}));
    EXPECT_EQ(Player().PendingReplies(), 0u);
}

TEST_F(FirmwareDownload, EraseWithoutCountsRunsTheTimer) {
    SetFirmware([](auto& s) {
        s.countedErase = false;
        s.eraseDelayMs = 100;
    });
    RecordingSheet sheet;
    ASSERT_TRUE(EraseCodeArea(sheet, ReopenEngineLink()));
    sheet.JoinAll();
    const auto writes = Writes();
    EXPECT_EQ(writes.back(), Block({0x23, 0x00, 0x05, 0x3A, 0x43, 0x02, 0x50, 0x2E}));
    EXPECT_EQ(sheet.Results(), std::vector<unsigned>{1}) << "the timer ran and ended";
    const auto positions = sheet.Positions();
    EXPECT_NE(std::find(positions.begin(), positions.end(), 100), positions.end());
    EXPECT_TRUE(g_bStopEraseTimer);
}

TEST_F(FirmwareDownload, EraseTimerMovesTheBarOverTwentySeconds) {
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

class Completion : public FirmwareDownload, public ::testing::WithParamInterface<CompletionCase> {};

TEST_P(Completion, OtherRepliesAreSkippedUpTo2000) {
    SetFirmware([](auto& s) {
        s.busyRepliesAfterProgram = GetParam().busyReplies;
        s.eraseSteps = 0;
    });
    RecordingSheet sheet;
    EXPECT_EQ(FirmwareUpdateWorker(sheet), GetParam().succeeds ? 1u : 0u);
    sheet.JoinAll();
    if (GetParam().succeeds) {
        EXPECT_EQ(sheet.firmware.mainText, WizardText(113));
        return;
    }
    EXPECT_EQ(sheet.firmware.mainText, WizardText(119));
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_FINISH});
    const auto positions = sheet.Positions();
    EXPECT_EQ(positions.back(), 0);
    EXPECT_EQ(std::count(positions.begin(), positions.end(), 100), 0);
    EXPECT_EQ(sheet.ProgressCommands().back(), ProgressHide);
    EXPECT_EQ(g_bBusy.load(), 0);
    EXPECT_EQ(EngineLink(), nullptr);
    EXPECT_EQ(Link::ReadTimeout(), 3000000u) << "left raised after a failure";
    EXPECT_TRUE(fs::is_empty(folder));
}

INSTANTIATE_TEST_SUITE_P(Replies, Completion,
                         ::testing::Values(CompletionCase{"OkAfter1999Others", 1999, true},
                                           CompletionCase{"NoOkWithin2000", 2000, false}),
                         testsupport::CaseName());

TEST_F(FirmwareDownload, UnreachablePlayerFailsBeforeAnyCommand) {
    Player().Detach();
    RecordingSheet sheet;
    EXPECT_EQ(FirmwareUpdateWorker(sheet), 0u);
    EXPECT_TRUE(Writes().empty());
    EXPECT_EQ(sheet.firmware.mainText, WizardText(119));
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_FINISH});
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(FirmwareDownload, SetUpReplyIsNotExamined) {
    Player().RefuseNextCommand(0x01);
    RecordingSheet sheet;
    EXPECT_EQ(FirmwareUpdateWorker(sheet), 1u);
    sheet.JoinAll();
    EXPECT_EQ(sheet.firmware.mainText, WizardText(113));
}

struct SizeCase {
    const char* name;
    size_t size;
    bool accepted;
};

class ImageSize : public FirmwareDownload, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(ImageSize, IsCheckedBeforeAnythingIsSent) {
    const std::string path = FlatFile(GetParam().size);
    UsbLink* link = ReopenEngineLink();
    Player().ClearTranscript();
    RecordingSheet sheet;
    EXPECT_EQ(DownloadFirmwareImage(sheet, link, 0, path), GetParam().accepted);
    if (!GetParam().accepted) {
        EXPECT_TRUE(Writes().empty());
        return;
    }
    const uint32_t blocks = static_cast<uint32_t>((GetParam().size + 511) / 512);
    EXPECT_EQ(Player().Firmware().AnnouncedBlocks(), blocks);
    EXPECT_EQ(Writes().size(), 3u + blocks);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ImageSize,
                         ::testing::Values(SizeCase{"Empty", 0, false}, SizeCase{"OneByte", 1, true},
                                           SizeCase{"Largest", 512u * 65535u, true},
                                           SizeCase{"OneByteTooMany", 512u * 65535u + 1, false}),
                         testsupport::CaseName());

TEST_F(FirmwareDownload, MissingImageFails) {
    RecordingSheet sheet;
    EXPECT_FALSE(DownloadFirmwareImage(sheet, ReopenEngineLink(), 0, (folder / "none.bin").string()));
}

} // namespace

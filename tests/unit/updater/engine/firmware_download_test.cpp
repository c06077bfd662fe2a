// The firmware download's steps against the simulated player's loader:
// the erase and the image's size checks.
#include "tests/support/case_name.h"
#include "tests/unit/updater/download_fixtures.h"
#include "updater/engine/code_area_erase.h"
#include "updater/engine/firmware_download.h"
#include "updater/wizard/sheet_progress.h"

namespace {

using updatertest::RecordingSheet;
using namespace updater;

class FirmwareDownload : public updatertest::FirmwareTest {};

TEST_F(FirmwareDownload, CountedEraseReportsEachStep) {
    SetFirmware([](auto& s) { s.eraseSteps = 4; });
    RecordingSheet sheet;
    SheetProgress progress(sheet);
    ASSERT_EQ(EraseCodeArea(ReopenEngineLink(), progress), Outcome::Done);
    // (n + 2) x 100 / total for n = 0..3, then the bar back to 0 twice.
    EXPECT_EQ(sheet.Positions(), (std::vector<LPARAM>{50, 75, 100, 125, 0, 0}));
    EXPECT_EQ(Player().PendingReplies(), 0u) << "every erase reply was taken";
}

TEST_F(FirmwareDownload, CountedEraseWithTotalZeroReadsOneFinalReply) {
    SetFirmware([](auto& s) { s.eraseSteps = 0; });
    RecordingSheet sheet;
    SheetProgress progress(sheet);
    ASSERT_EQ(EraseCodeArea(ReopenEngineLink(), progress), Outcome::Done);
    EXPECT_EQ(sheet.Positions(), (std::vector<LPARAM>{0, 0}));
    EXPECT_EQ(Player().PendingReplies(), 0u);
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
    SheetProgress progress(sheet);
    EXPECT_EQ(DownloadFirmwareImage(link, 0, path, progress) == Outcome::Done, GetParam().accepted);
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
    SheetProgress progress(sheet);
    EXPECT_EQ(DownloadFirmwareImage(ReopenEngineLink(), 0, (folder / "none.bin").string(), progress), Outcome::NoFile);
}

} // namespace

// The font download after the format, as page 5 runs it.
#include "tests/unit/updater/download_fixtures.h"
#include "updater/wizard/font_download_worker.h"

#include <algorithm>

namespace {

using updatertest::RecordingSheet;
using namespace updater;

class FontWorker : public updatertest::FontTest {};

TEST_F(FontWorker, CarriedFontArrivesWholeInTheShippedChunking) {
    Player().ClearTranscript();
    g_bBusy = 1;
    RecordingSheet sheet;
    EXPECT_EQ(FontDownloadWorker(sheet), 1u);

    const auto font = resources::FindResource(resources::FontResource);
    ASSERT_EQ(font.size(), 2093088u);
    const auto stored = Player().FontData();
    EXPECT_TRUE(std::equal(font.begin(), font.end(), stored.begin(), stored.end()));
    const std::string name = Player().FontName();
    EXPECT_EQ(name.rfind(folder.string() + "/$512Bfont", 0), 0u) << name;

    const auto writes = Writes();
    std::vector<uint8_t> start = {0x23, 0x00, static_cast<uint8_t>(name.size() + 8), 0x3A, 0x55, 0x57};
    start.insert(start.end(), name.begin(), name.end());
    start.insert(start.end(), {0x00, 0x1F, 0xF0, 0x20, 0x2E});
    start.resize(512, 0);
    EXPECT_EQ(writes.at(1), start);

    // 63 chunks of two 16,384-byte writes, then 16,384 + 12,800 bytes.
    std::vector<size_t> expected(63 * 2 + 1, 16384);
    expected.push_back(12800);
    EXPECT_EQ(DataWriteSizes(), expected);
    const auto& last = writes.back();
    EXPECT_TRUE(std::all_of(last.begin() + 12320, last.end(), [](uint8_t b) { return b == 0; }))
        << "the padding of the last write is cleared";

    std::vector<LPARAM> percents;
    for (LPARAM chunk = 1; chunk <= 64; ++chunk) {
        const LPARAM percent = chunk * 100 / 64;
        if (percents.empty() || percent > percents.back()) {
            percents.push_back(percent);
        }
    }
    EXPECT_EQ(sheet.Positions(), percents);
    EXPECT_EQ(std::vector<LPARAM>(percents.begin(), percents.begin() + 4), (std::vector<LPARAM>{1, 3, 4, 6}));
    EXPECT_EQ(sheet.ProgressCommands().front(), ProgressShow);
    EXPECT_EQ(sheet.ProgressCommands().back(), ProgressHide);

    EXPECT_EQ(sheet.format.mainText, WizardText(TextId::AllDone));
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_FINISH});
    EXPECT_EQ(g_bBusy.load(), 0);
    EXPECT_EQ(EngineLink(), nullptr);
    EXPECT_TRUE(std::filesystem::is_empty(folder)) << "the temporary font file is gone";
}

TEST_F(FontWorker, RefusedStartEndsWithText121) {
    Player().RefuseNextCommand(0x27);
    RecordingSheet sheet;
    EXPECT_EQ(FontDownloadWorker(sheet), 0u);
    EXPECT_EQ(sheet.format.mainText, WizardText(TextId::FontFailed));
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_FINISH});
    EXPECT_EQ(sheet.ProgressCommands(), (std::vector<WPARAM>{ProgressShow, ProgressHide}));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST_F(FontWorker, UnwritableTemporaryFolderShowsTheSystemText) {
    setenv("TMPDIR", (folder / "missing").c_str(), 1);
    RecordingSheet sheet;
    EXPECT_EQ(FontDownloadWorker(sheet), 0u);
    const auto boxes = sheet.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, " could not be found.");
    EXPECT_EQ(boxes[0].style, MB_OK | MB_ICONINFORMATION);
    EXPECT_EQ(sheet.format.mainText, WizardText(TextId::FontFailed));
}

} // namespace

// The font download after the format, and the data writer it uses.
#include "tests/unit/updater/recording_sheet.h"
#include "tests/support/case_name.h"
#include "updater/engine/font_download.h"
#include "platform/system/temporary_file.h"
#include "updater/resources/embedded_resources.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <numeric>

namespace {

using updatertest::RecordingSheet;
using namespace updater;
namespace fs = std::filesystem;

class FontDownload : public updatertest::UpdaterTest {
protected:
    void SetUp() override {
        UpdaterTest::SetUp();
        folder = fs::temp_directory_path() / ("font-download-" + std::to_string(getpid()));
        fs::create_directories(folder);
        setenv("TMPDIR", folder.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("TMPDIR");
        fs::remove_all(folder);
        UpdaterTest::TearDown();
    }

    // Data writes after the start block, by size.
    std::vector<size_t> DataWriteSizes() {
        std::vector<size_t> sizes;
        const auto writes = Writes();
        for (size_t i = 2; i < writes.size(); ++i) {
            sizes.push_back(writes[i].size());
        }
        return sizes;
    }

    static std::vector<uint8_t> Pattern(size_t size) {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<uint8_t>(i * 13 + 5);
        }
        return bytes;
    }

    fs::path folder;
};

TEST_F(FontDownload, CarriedFontArrivesWholeInTheShippedChunking) {
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

    EXPECT_EQ(sheet.format.mainText, WizardText(122));
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_FINISH});
    EXPECT_EQ(g_bBusy.load(), 0);
    EXPECT_EQ(EngineLink(), nullptr);
    EXPECT_TRUE(fs::is_empty(folder)) << "the temporary font file is gone";
}

TEST_F(FontDownload, StartBlockOfAThirtyCharacterPath) {
    const std::string name(30, 'p');
    Player().ClearTranscript();
    EXPECT_EQ(StartFontDownload(name, 2093088), 1);
    std::vector<uint8_t> start = {0x23, 0x00, 0x26, 0x3A, 0x55, 0x57};
    start.insert(start.end(), name.begin(), name.end());
    start.insert(start.end(), {0x00, 0x1F, 0xF0, 0x20, 0x2E});
    start.resize(512, 0);
    EXPECT_EQ(Writes().at(1), start);
    EXPECT_NE(EngineLink(), nullptr) << "open for the data";
}

TEST_F(FontDownload, NameTooLongForTheLengthByteIsRefusedBeforeSending) {
    Player().ClearTranscript();
    EXPECT_EQ(StartFontDownload(std::string(248, 'f'), 10), -1);
    EXPECT_TRUE(Player().GetTranscript().Entries().empty());
    EXPECT_EQ(StartFontDownload(std::string(247, 'f'), 10), 1);
    EXPECT_EQ(Writes().at(1)[2], 255);
}

TEST_F(FontDownload, RefusedStartEndsWithText121) {
    Player().RefuseNextCommand(0x27);
    RecordingSheet sheet;
    EXPECT_EQ(FontDownloadWorker(sheet), 0u);
    EXPECT_EQ(sheet.format.mainText, WizardText(121));
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_FINISH});
    EXPECT_EQ(sheet.ProgressCommands(), (std::vector<WPARAM>{ProgressShow, ProgressHide}));
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(FontDownload, UnwritableTemporaryFolderShowsTheSystemText) {
    setenv("TMPDIR", (folder / "missing").c_str(), 1);
    RecordingSheet sheet;
    EXPECT_EQ(FontDownloadWorker(sheet), 0u);
    const auto boxes = sheet.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, " could not be found.");
    EXPECT_EQ(boxes[0].style, MB_OK | MB_ICONINFORMATION);
    EXPECT_EQ(sheet.format.mainText, WizardText(121));
}

TEST_F(FontDownload, FailedDataWriteCancelsAndClosesTheLink) {
    ASSERT_EQ(StartFontDownload("FONT", 100000), 1);
    Player().DetachAfterDataBytes(20000);
    const auto data = Pattern(32768);
    EXPECT_FALSE(SendFontChunk(data.data(), 32768));
    EXPECT_EQ(EngineLink(), nullptr);
    const auto transfers = Player().GetTranscript().Transfers();
    EXPECT_EQ(transfers.back().pipe, 0u);
    EXPECT_EQ(transfers.back().setup, (std::array<uint8_t, 8>{0x40, 0x01, 0, 0, 0, 0, 0, 0}));
}

struct WriteCase {
    const char* name;
    uint32_t length;
    std::vector<size_t> writes;
};

class DataBlocks : public FontDownload, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(DataBlocks, GoOutAsWholeWritesAndOneRoundedRest) {
    const uint32_t length = GetParam().length;
    ASSERT_EQ(StartFontDownload("FONT", length), 1);
    const auto data = Pattern(length);
    EXPECT_TRUE(SendFontChunk(data.data(), length));
    EXPECT_EQ(DataWriteSizes(), GetParam().writes);
    EXPECT_EQ(Player().FontData(), data);
}

INSTANTIATE_TEST_SUITE_P(Sizes, DataBlocks,
                         ::testing::Values(WriteCase{"OneByte", 1, {512}},
                                           WriteCase{"OneChunk", 32768, {16384, 16384}},
                                           WriteCase{"TwoChunksExactly", 65536, {16384, 16384, 16384, 16384}},
                                           WriteCase{"RestOfOneBlock", 16384 + 512, {16384, 512}},
                                           WriteCase{"RestRoundedUp", 16384 + 513, {16384, 1024}}),
                         testsupport::CaseName());

TEST_F(FontDownload, DataWriterNeedsLinkAndData) {
    const auto data = Pattern(16);
    EXPECT_FALSE(WriteDataBlocks(data.data(), 16)) << "no link";
    ASSERT_EQ(StartFontDownload("FONT", 16), 1);
    EXPECT_FALSE(WriteDataBlocks(data.data(), 0));
    EXPECT_FALSE(WriteDataBlocks(nullptr, 16));
    EXPECT_FALSE(SendFontChunk(data.data(), 0));
}

} // namespace

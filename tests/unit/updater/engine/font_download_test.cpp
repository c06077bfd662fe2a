// The font's start block and the data writer the font download uses.
#include "tests/support/case_name.h"
#include "tests/unit/updater/download_fixtures.h"
#include "updater/engine/font_download.h"

namespace {

using namespace updater;

class FontDownload : public updatertest::FontTest {};

TEST_F(FontDownload, StartBlockOfAThirtyCharacterPath) {
    const std::string name(30, 'p');
    Player().ClearTranscript();
    EXPECT_EQ(StartFontDownload(name, 2093088), Outcome::Done);
    std::vector<uint8_t> start(512, 0);   // room for the block first: GCC 12 misreads the inserts' bounds
    const std::vector<uint8_t> head = {0x23, 0x00, 0x26, 0x3A, 0x55, 0x57};
    start.assign(head.begin(), head.end());
    start.insert(start.end(), name.begin(), name.end());
    start.insert(start.end(), {0x00, 0x1F, 0xF0, 0x20, 0x2E});
    start.resize(512, 0);
    EXPECT_EQ(Writes().at(1), start);
    EXPECT_NE(EngineLink(), nullptr) << "open for the data";
}

TEST_F(FontDownload, NameTooLongForTheLengthByteIsRefusedBeforeSending) {
    Player().ClearTranscript();
    EXPECT_EQ(StartFontDownload(std::string(248, 'f'), 10), Outcome::BadFile);
    EXPECT_TRUE(Player().GetTranscript().Entries().empty());
    EXPECT_EQ(StartFontDownload(std::string(247, 'f'), 10), Outcome::Done);
    EXPECT_EQ(Writes().at(1)[2], 255);
}

TEST_F(FontDownload, FailedDataWriteCancelsAndClosesTheLink) {
    ASSERT_EQ(StartFontDownload("FONT", 100000), Outcome::Done);
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
    ASSERT_EQ(StartFontDownload("FONT", length), Outcome::Done);
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
    ASSERT_EQ(StartFontDownload("FONT", 16), Outcome::Done);
    EXPECT_FALSE(WriteDataBlocks(data.data(), 0));
    EXPECT_FALSE(WriteDataBlocks(nullptr, 16));
    EXPECT_FALSE(SendFontChunk(data.data(), 0));
}

} // namespace

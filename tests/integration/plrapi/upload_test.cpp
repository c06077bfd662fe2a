// Uploads through the device API: the 8.3 names the player gets, the pieces
// that cross the wire, what the player stores, and what is refused.
#include "platform/text/code_page.h"
#include "tests/integration/plrapi/transfer_session.h"
#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using testsupport::PcFile;

struct NameCase {
    const char* name;
    const char* codePage;
    std::string fileName;
    std::string extension;
    std::vector<std::string> existing;   // 8.3 names already on the player
    std::string stored;                  // the 11 bytes of the new entry's short name
    friend void PrintTo(const NameCase& c, std::ostream* out) { *out << c.name; }
};

class ShortNames : public testsupport::TransferSessionTest, public ::testing::WithParamInterface<NameCase> {
protected:
    void TearDown() override {
        platform::SetCodePage("");
        TransferSessionTest::TearDown();
    }
};

TEST_P(ShortNames, AreMadeUniqueAgainstTheListing) {
    const auto& c = GetParam();
    platform::SetCodePage(c.codePage);
    for (const auto& name : c.existing) {
        ASSERT_TRUE(Player().PutFile(0, "/" + name, Pattern(10)));
    }
    ASSERT_EQ(List(), 1);
    PcFile file(c.fileName, c.extension, 300);
    ASSERT_EQ(UploadFile(file, Pattern(300)), 1);

    const std::string longName = c.extension.empty() ? c.fileName : c.fileName + "." + c.extension;
    const auto items = Player().ListFolder(0, "/");
    ASSERT_EQ(items.size(), c.existing.size() + 1);
    EXPECT_EQ(items.back().shortName, c.stored);
    const std::u16string wide = platform::MultiByteToWide(longName.data(), longName.size());
    EXPECT_EQ(items.back().longName, wide);
    // The cache shows the new file as PlrGetStorageInfo would.
    EXPECT_EQ(CachedNames().back(), longName);
}

const std::vector<std::string> nineTaken{"ABCDEF~1.MP3", "ABCDEF~2.MP3", "ABCDEF~3.MP3", "ABCDEF~4.MP3", "ABCDEF~5.MP3",
                                         "ABCDEF~6.MP3", "ABCDEF~7.MP3", "ABCDEF~8.MP3", "ABCDEF~9.MP3"};

INSTANTIATE_TEST_SUITE_P(
    Names, ShortNames,
    ::testing::Values(NameCase{"SpaceShortensAndSkipsTaken", "UTF-8", "my song", "mp3",
                               {"MYSONG~1.MP3", "MYSONG~2.MP3"}, "MYSONG~3MP3"},
                      NameCase{"FitsAsItIs", "UTF-8", "abc", "mp3", {}, "ABC     MP3"},
                      NameCase{"EightByteBaseFits", "UTF-8", "abcdefgh", "mp3", {}, "ABCDEFGHMP3"},
                      NameCase{"OnlyTheFirstTaken", "UTF-8", "my song", "mp3", {"MYSONG~1.MP3"}, "MYSONG~2MP3"},
                      // U+5929 U+7A7A: a first byte 0xE5 would mark the entry deleted.
                      NameCase{"FirstByteE5StoredAs05", "UTF-8", "\xE5\xA4\xA9\xE7\xA9\xBA", "mp3", {},
                               "\x05\xA4\xA9\xE7\xA9\xBA  MP3"},
                      NameCase{"ForbiddenCharacters", "UTF-8", "a*b?c\"d", "txt", {}, "A_B_C_~1TXT"},
                      NameCase{"SeparatorsAndControls", "UTF-8", "a/b\\c\x01", "txt", {}, "A_B_C_~1TXT"},
                      NameCase{"AngleBracketsAndBar", "UTF-8", "<a>|b", "txt", {}, "_A__B~1 TXT"},
                      NameCase{"NoExtensionPadded", "UTF-8", "README", "", {}, "README     "},
                      NameCase{"ReplacedCharacters", "UTF-8", "a+b,c[1]", "txt", {}, "A_B_C_~1TXT"},
                      NameCase{"InnerDotsDropped", "UTF-8", "v1.2.final", "mp3", {}, "V12FIN~1MP3"},
                      NameCase{"LongExtensionCut", "UTF-8", "clip", "mpeg", {}, "CLIP~1  MPE"},
                      NameCase{"TenthTakesADigit", "UTF-8", "abcdefghij", "mp3", nineTaken, "ABCDE~10MP3"},
                      NameCase{"DoubleByteCutInHalf", "cp949", "a\xB0\xA1\xB3\xAA\xB4\xD9\xB6\xF3", "mp3", {},
                               "A\xB0\xA1\xB3\xAA?~1MP3"},
                      NameCase{"Utf8CutAtACharacter", "UTF-8", "ab\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "mp3", {},
                               "AB\xE6\x97\xA5~1 MP3"}),
    testsupport::CaseName());

struct StreamCase {
    const char* name;
    std::string extension;
    std::vector<uint8_t> data;
    size_t block;                   // the caller's block size; 0: all at once
    std::vector<size_t> writes;     // the library's writes, as the player gets them
    uint32_t announced;             // the size the player is told
    bool flagged;                   // the entry's header flag
    friend void PrintTo(const StreamCase& c, std::ostream* out) { *out << c.name; }
};

class UploadStream : public testsupport::TransferSessionTest, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(UploadStream, SendsWholeChunksThenTheHeldTailWithTheTrailer) {
    const auto& c = GetParam();
    ASSERT_EQ(List(), 1);
    PcFile file("take", c.extension, c.data.size());
    ASSERT_EQ(Announce(file), 1);
    Player().ClearTranscript();
    for (size_t at = 0, step = c.block == 0 ? c.data.size() : c.block; at < c.data.size(); at += step) {
        const size_t piece = std::min(step, c.data.size() - at);
        ASSERT_EQ(api->PlrWriteFileBlock(const_cast<uint8_t*>(c.data.data() + at), static_cast<long>(piece)), 1);
    }
    ASSERT_EQ(api->PlrCloseFile(), 1);

    std::vector<size_t> transfers;
    for (const size_t write : c.writes) {
        testsupport::AddTransfers(transfers, write);
    }
    EXPECT_EQ(DataTransfers(), transfers);
    const std::string path = "/take." + c.extension;
    const auto items = Player().ListFolder(0, "/");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].size, c.announced);
    EXPECT_EQ(items[0].headerFlag, c.flagged ? 1 : 0);
    const bool voice = c.extension == "adp";
    const bool titled = voice || c.extension != "txt";
    const auto stored = titled ? StoredWithoutTrailer(path) : Player().FileData(0, path);
    ASSERT_TRUE(stored.has_value());
    EXPECT_TRUE(*stored == (voice ? testsupport::VoiceBlocks(c.data) : c.data));
}

std::vector<uint8_t> Data(size_t size) { return testsupport::Pattern(size, 3); }
std::vector<uint8_t> Voice(size_t dataBytes) { return testsupport::Recording(dataBytes); }

INSTANTIATE_TEST_SUITE_P(
    Sizes, UploadStream,
    ::testing::Values(
        StreamCase{"Mp3TailAndTrailerInOneWrite", "mp3", Data(100000), 32768, {32768, 32768, 32768, 1696 + 2080},
                   102080, true},
        StreamCase{"Mp3TailAndTrailerOverAChunk", "mp3", Data(32768 + 31000), 0, {32768, 32768, 312}, 65848, true},
        StreamCase{"Mp3WholeChunksOnly", "mp3", Data(32768), 32768, {32768, 2080}, 34848, true},
        StreamCase{"TextWholeChunksNothingAtClose", "txt", Data(65536), 0, {32768, 32768}, 65536, false},
        StreamCase{"TextOneByteOver", "txt", Data(32769), 32768, {32768, 1}, 32769, false},
        StreamCase{"WmaSmall", "wma", Data(5), 0, {2085}, 2085, true},
        // The 8.3 extension MPE decides at both ends: the trailer is sent and counted.
        StreamCase{"LongExtensionStartingWithMpe", "mpeg", Data(5000), 0, {7080}, 7080, false},
        StreamCase{"VoiceTwoBlocksAndAPart", "adp", Voice(600), 0, {612 + 2080}, 2692, true},
        StreamCase{"VoiceOneWholeBlock", "adp", Voice(256), 0, {260 + 2080}, 2340, true},
        StreamCase{"VoiceOneByteOver", "adp", Voice(257), 0, {265 + 2080}, 2345, true},
        StreamCase{"VoiceInSmallBlocks", "adp", Voice(1000), 100, {1016 + 2080}, 3096, true},
        StreamCase{"VoiceOverTheOutBuffer", "adp", Voice(127 * 256), 32768, {32768, 252 + 2080}, 127 * 260 + 2080,
                   true}),
    testsupport::CaseName());

class ShortUpload : public testsupport::TransferSessionTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ShortUpload, IsCancelledAndLeavesNothing) {
    const std::string extension = GetParam();
    const auto data = extension == "adp" ? testsupport::Recording(70000) : Pattern(70048);
    ASSERT_EQ(List(), 1);
    PcFile file("cut", extension, data.size());
    ASSERT_EQ(Announce(file), 1);
    ASSERT_EQ(api->PlrWriteFileBlock(const_cast<uint8_t*>(data.data()), 65536), 1);
    Player().ClearTranscript();
    EXPECT_EQ(api->PlrCloseFile(), 1);
    EXPECT_EQ(Player().CancelRequestCount(), 1);
    EXPECT_TRUE(DataTransfers().empty());
    EXPECT_TRUE(Commands().empty()) << "no listing after a cancel";
    EXPECT_TRUE(Player().ListFolder(0, "/").empty());
}

INSTANTIATE_TEST_SUITE_P(Kinds, ShortUpload, ::testing::Values("mp3", "txt", "adp"),
                         [](const auto& kind) { return std::string(kind.param); });

struct TitleCase {
    const char* name;
    const char* file;
    size_t block;           // 0: the whole file in one block
    std::string title;      // the text whose length the trailer's header records
    friend void PrintTo(const TitleCase& c, std::ostream* out) { *out << c.name; }
};

class TitleFromTags : public testsupport::TransferSessionTest, public ::testing::WithParamInterface<TitleCase> {};

TEST_P(TitleFromTags, NamesTheTrailersText) {
    const auto& c = GetParam();
    const auto data = testsupport::DataFile(c.file);
    ASSERT_FALSE(data.empty());
    const std::string name(c.file);
    const size_t dot = name.rfind('.');
    ASSERT_EQ(List(), 1);
    PcFile file(name.substr(0, dot), name.substr(dot + 1), data.size());
    ASSERT_EQ(UploadFile(file, data, c.block), 1);
    const auto header = StoredTitleHeader("/" + name);
    ASSERT_EQ(header.size(), 32u);
    EXPECT_EQ(header[11] | header[12] << 8, static_cast<int>(c.title.size()));
    const uint32_t width = header[26] | header[27] << 8 | header[28] << 16 | static_cast<uint32_t>(header[29]) << 24;
    EXPECT_GT(width, 0u);
    EXPECT_LE(width, 1024u);
    EXPECT_EQ(StoredWithoutTrailer("/" + name), data);
}

INSTANTIATE_TEST_SUITE_P(Files, TitleFromTags,
                         ::testing::Values(TitleCase{"Id3v1InTheLastChunk", "titled.mp3", 32768, "Intro[Band]"},
                                           // A file in one block still has its last 128 bytes looked at.
                                           TitleCase{"Id3v1InASingleBlock", "titled.mp3", 0, "Intro[Band]"},
                                           TitleCase{"AsfContentDescription", "titled.wma", 0, "Morning[Quartet]   "}),
                         testsupport::CaseName());

struct RefusalCase {
    const char* name;
    std::string fileName;
    std::string extension;
    unsigned long size;
    std::vector<uint8_t> firstBlock;   // empty: refused before any block
    long code;
    friend void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.name; }
};

class Refusal : public testsupport::TransferSessionTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusal, HasItsCodeAndLeavesNothingOnThePlayer) {
    const auto& c = GetParam();
    ASSERT_EQ(List(), 1);
    Player().ClearTranscript();
    PcFile file(c.fileName, c.extension, c.size);
    if (c.firstBlock.empty()) {
        EXPECT_EQ(Announce(file), 0);
        EXPECT_TRUE(NothingSent());
    } else {
        ASSERT_EQ(Announce(file), 1);
        auto* first = const_cast<uint8_t*>(c.firstBlock.data());
        EXPECT_EQ(api->PlrWriteFileBlock(first, static_cast<long>(c.firstBlock.size())), 0);
        EXPECT_TRUE(DataTransfers().empty()) << "nothing of the refused block";
    }
    EXPECT_EQ(api->PlrGetLastError(), c.code);
    EXPECT_EQ(api->PlrCloseFile(), 1);
    EXPECT_EQ(Player().CancelRequestCount(), c.firstBlock.empty() ? 0 : 1);
    EXPECT_TRUE(Player().ListFolder(0, "/").empty());
    EXPECT_FALSE(Player().InDataPhase());
}

std::vector<uint8_t> Head(std::vector<uint8_t> bytes, size_t size) {
    bytes.resize(size);
    return bytes;
}

std::vector<uint8_t> Stereo() {
    auto wav = Voice(600);
    wav[22] = 2;
    return wav;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Refusal,
    ::testing::Values(RefusalCase{"NameBeyondTheRecord", std::string(191, 'n'), "mp3", 10, {}, 15},
                      RefusalCase{"NameBeyondTheEntries", std::string(178, 'n'), "mp3", 10, {}, 15},
                      RefusalCase{"EmptyName", "", "", 10, {}, 15},
                      RefusalCase{"SizeWithTrailerOver32Bits", "big", "mp3", 0xFFFFFFFFul - 2079, {}, 16},
                      RefusalCase{"SizeOver32Bits", "big", "txt", 0x100000000ul, {}, 16},
                      RefusalCase{"VoiceBelowItsHeader", "memo", "adp", 47, {}, 17},
                      RefusalCase{"VoiceFirstBlockBelowTheHeader", "memo", "adp", 648, Head(Voice(600), 40), 17},
                      RefusalCase{"VoiceWithAFactChunk", "memo", "adp", 572,
                                  testsupport::DataFile("voice_with_fact_chunk.wav"), 17},
                      RefusalCase{"VoiceInStereo", "memo", "adp", 648, Stereo(), 17},
                      // Its second half would reach the player after the data phase, as commands.
                      RefusalCase{"BlockPastTheAnnouncedSize", "song", "mp3", 32768, Data(65536), 11}),
    testsupport::CaseName());

} // namespace

#include "sim/directory_entry.h"
#include "sim/utf16.h"

#include "tests/unit/sim/wire_host.h"
#include "tests/support/case_name.h"

namespace {

using namespace simtest;

struct ChecksumCase {
    const char* name;
    const char* shortName;
    uint8_t checksum;   // worked out by hand from the rotate-and-add rule
};

class Checksum : public ::testing::TestWithParam<ChecksumCase> {};

TEST_P(Checksum, OfTheElevenNameBytes) {
    EXPECT_EQ(kvx512sim::LfnChecksum(reinterpret_cast<const uint8_t*>(GetParam().shortName)), GetParam().checksum);
}

INSTANTIATE_TEST_SUITE_P(Names, Checksum,
                         ::testing::Values(ChecksumCase{"Song", "SONG    MP3", 0x6F},
                                           ChecksumCase{"Numbered", "TRACKT~1MP3", 0x70},
                                           ChecksumCase{"Folder", "MUSIC      ", 0xA6},
                                           ChecksumCase{"OneLetter", "A          ", 0x80}),
                         testsupport::CaseName{});

struct LongNameCase {
    const char* name;
    const char* utf8;
    size_t longNameEntries;
};

class PlayerLongNames : public ::testing::TestWithParam<LongNameCase> {};

TEST_P(PlayerLongNames, EntriesCarryTheChecksumAndReadBack) {
    kvx512sim::Player player;
    const auto& c = GetParam();
    ASSERT_TRUE(player.PutFile(0, std::string("/") + c.utf8, Pattern(10)));
    const Bytes raw = player.RawDirectory(0, 0);
    ASSERT_EQ(raw.size(), 32 * (c.longNameEntries + 1));
    const uint8_t* shortEntry = raw.data() + raw.size() - 32;
    for (size_t i = 0; i < c.longNameEntries; ++i) {
        const uint8_t* e = raw.data() + 32 * i;
        EXPECT_EQ(e[11], 0x0F);
        EXPECT_EQ(e[0], (c.longNameEntries - i) | (i == 0 ? 0x40 : 0));
        EXPECT_EQ(e[13], kvx512sim::LfnChecksum(shortEntry));
        EXPECT_EQ(e[26] | e[27], 0);
    }
    const auto items = player.ListFolder(0, "/");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(kvx512sim::Utf16ToUtf8(items[0].longName), c.longNameEntries ? c.utf8 : "");
    EXPECT_EQ(player.FileData(0, std::string("/") + c.utf8), Pattern(10));
}

INSTANTIATE_TEST_SUITE_P(Names, PlayerLongNames,
                         ::testing::Values(LongNameCase{"Plain83", "SONG.MP3", 0},
                                           LongNameCase{"LowerCase", "song.mp3", 1},
                                           LongNameCase{"TwelveCharacters", "Abcdefgh.mp3", 1},
                                           LongNameCase{"ThirteenCharacters", "Abcdefghi.mp3", 1},
                                           LongNameCase{"FourteenCharacters", "Abcdefghij.mp3", 2},
                                           LongNameCase{"NotAscii", "Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC.mp3", 1},
                                           LongNameCase{"OutsideTheBasicPlane", "\xF0\x9F\x8E\xB5 music.mp3", 1}),
                         testsupport::CaseName{});

TEST(LongNameEntries, TerminatorOnlyWhenASlotIsLeft) {
    kvx512sim::ShortName name;
    std::copy_n("ABCDEFGHMP3", 11, name.begin());
    const auto twelve = kvx512sim::LongNameEntries(u"abcdefghijkl", name);
    ASSERT_EQ(twelve.size(), 32u);
    EXPECT_EQ(twelve[30] | twelve[31] << 8, 0);   // terminator in the last slot
    const auto full = kvx512sim::LongNameEntries(u"abcdefghijklm", name);
    ASSERT_EQ(full.size(), 32u);
    EXPECT_EQ(full[30], 'm');
    const auto fourteen = kvx512sim::LongNameEntries(u"abcdefghijklmn", name);
    ASSERT_EQ(fourteen.size(), 64u);
    EXPECT_EQ(fourteen[0], 0x42);
    EXPECT_EQ(fourteen[1], 'n');
    EXPECT_EQ(fourteen[3] | fourteen[4] << 8, 0);
    EXPECT_EQ(fourteen[5] | fourteen[6] << 8, 0xFFFF);
}

TEST(Utf16, RoundTripsAndReplacesMalformedInput) {
    const std::string text = "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x8E\xB5";
    EXPECT_EQ(kvx512sim::Utf8ToUtf16(text), u"a\u00E9\u65E5\U0001F3B5");
    EXPECT_EQ(kvx512sim::Utf16ToUtf8(kvx512sim::Utf8ToUtf16(text)), text);
    EXPECT_EQ(kvx512sim::Utf8ToUtf16("\xC3"), u"\uFFFD");
    EXPECT_EQ(kvx512sim::Utf8ToUtf16("\xFFx"), u"\uFFFDx");
}

} // namespace

#include "platform/text/code_page.h"
#include "portio/directory_entry.h"
#include "portio/short_name.h"
#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ShortNameCase {
    const char* name;
    std::string input;
    std::string expected;
    bool longNameNeeded;
};

class ShortNames : public ::testing::TestWithParam<ShortNameCase> {};

TEST_P(ShortNames, FollowTheEightDotThreeRules) {
    const auto& c = GetParam();
    const auto result = portio::BuildShortName(c.input);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->text, c.expected);
    EXPECT_EQ(result->longNameNeeded, c.longNameNeeded);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ShortNames,
    ::testing::Values(ShortNameCase{"SpacesCaseAndLength", "Best of 2004.mp3", "BESTOF20.MP3", true},
                      ShortNameCase{"PlainUpperCase", "README", "README.", false},
                      ShortNameCase{"InnerDots", "a.b.c", "A.B.C", true},
                      ShortNameCase{"Tilde", "~", "~.", false},
                      ShortNameCase{"Ampersand", "&.txt", "&.TXT", true},
                      ShortNameCase{"OnlySpacesBase", "   .txt", "kvx512.TXT", true},
                      ShortNameCase{"LongExtension", "SONG.MPEG", "SONG.MPE", true},
                      ShortNameCase{"PathIsDropped", "C:\\Music/Live.WAV", "LIVE.WAV", true},
                      ShortNameCase{"ExactEightThree", "ABCDEFGH.MP3", "ABCDEFGH.MP3", false}),
    testsupport::CaseName());

TEST(ShortNames, LeadingDotAloneCannotBeMade) { EXPECT_FALSE(portio::BuildShortName(".hidden").has_value()); }

TEST(ShortNames, DoubleByteCharactersStayWhole) {
    platform::SetCodePage("CP932");
    // Four two-byte characters fill the base exactly; a fifth does not fit.
    const auto fits = portio::BuildShortName("\x89\xB9\x8A\x79\x89\xB9\x8A\x79.mp3");
    const auto over = portio::BuildShortName("\x89\xB9\x8A\x79\x89\xB9\x8A\x79\x89\xB9.mp3");
    // A lead byte with one place left ends the part.
    const auto odd = portio::BuildShortName("ABCDEFG\x89\xB9.mp3");
    platform::SetCodePage("");
    ASSERT_TRUE(fits && over && odd);
    EXPECT_EQ(fits->text, "\x89\xB9\x8A\x79\x89\xB9\x8A\x79.MP3");
    EXPECT_EQ(over->text, fits->text);
    EXPECT_EQ(odd->text, "ABCDEFG.MP3");
    EXPECT_TRUE(odd->longNameNeeded);
}

struct FormatCase {
    const char* name;
    std::string entryName;   // 11 bytes
    std::string expected;
};

class FormatShortNames : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatShortNames, DropPaddingAndRestoreE5) {
    uint8_t entry[32] = {};
    std::copy(GetParam().entryName.begin(), GetParam().entryName.end(), entry);
    EXPECT_EQ(portio::FormatShortName(entry), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Entries, FormatShortNames,
                         ::testing::Values(FormatCase{"WithExtension", "SONG    MP3", "SONG.MP3"},
                                           FormatCase{"FolderNoExtension", "MUSIC      ", "MUSIC"},
                                           FormatCase{"Full", "ABCDEFGHIJK", "ABCDEFGH.IJK"},
                                           FormatCase{"StandInE5", "\x05" "BC     TXT", "\xE5" "BC.TXT"}),
                         testsupport::CaseName());

TEST(LfnChecksum, MatchesKnownSums) {
    const uint8_t song[] = "SONG    MP3";
    const uint8_t dot[] = ".          ";
    EXPECT_EQ(portio::LfnChecksum(song), 0x6F);
    EXPECT_EQ(portio::LfnChecksum(dot), 0x77);
}

} // namespace

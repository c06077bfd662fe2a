#include "portio/identification.h"
#include "portio/protocol_state.h"
#include "portio/version_number.h"
#include "tests/support/sim_fixture.h"

#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

namespace {

struct VersionCase {
    const char* text;
    uint32_t expected;
};

class VersionNumbers : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionNumbers, PackDecimalDigitsAsNibbles) {
    const std::string text = GetParam().text;
    EXPECT_EQ(portio::ParseVersionNumber(reinterpret_cast<const uint8_t*>(text.data()),
                                         static_cast<ptrdiff_t>(text.size())),
              GetParam().expected)
        << text;
}

INSTANTIATE_TEST_SUITE_P(Texts, VersionNumbers,
                         ::testing::Values(VersionCase{"1.43.22", 0x14300}, VersionCase{"1.4322", 0x14322},
                                           VersionCase{"2", 0x20000}, VersionCase{"1.43", 0x14300},
                                           VersionCase{"0.00", 0}, VersionCase{"", 0}, VersionCase{"v1.2", 0},
                                           VersionCase{"12345.6", 0x12340000}, VersionCase{"1.123456", 0x11234},
                                           VersionCase{"10.4322", 0x104322}, VersionCase{"1. 5", 0x10000}));

TEST(SkipWord, StepsOverOneWordAndOneSpace) {
    const std::string text = "ab cd";
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    size_t position = 0;
    ASSERT_TRUE(portio::SkipWord(bytes, text.size(), position));
    EXPECT_EQ(position, 3u);
    ASSERT_TRUE(portio::SkipWord(bytes, text.size(), position));
    EXPECT_EQ(position, 5u);
    EXPECT_FALSE(portio::SkipWord(bytes, text.size(), position));
}

struct IdentificationCase {
    const char* name;
    std::optional<std::string> rawText;   // whole text, or the default with `version`
    std::string version;
    bool ok;
    uint32_t number;
    std::string versionText;
};

class Identification : public testsupport::SimPlayerTest,
                       public ::testing::WithParamInterface<IdentificationCase> {};

TEST_P(Identification, ParsesWhatThePlayerSays) {
    const auto& c = GetParam();
    kvx512sim::Identification identification;
    identification.version = c.version;
    identification.rawText = c.rawText;
    Player().SetIdentification(identification);
    portio::FirmwareVersion() = 0x777;

    char text[portio::VersionTextSize] = {};
    uint32_t number = 0;
    EXPECT_EQ(portio::QueryVersion(text, number), c.ok);
    if (c.ok) {
        EXPECT_EQ(number, c.number);
        EXPECT_EQ(portio::FirmwareVersion(), c.number);
        EXPECT_EQ(std::string(text), c.versionText);
    } else {
        EXPECT_EQ(portio::FirmwareVersion(), 0x777u) << "a failed identification keeps the old version";
    }
    // The exchange: the link's handshake "Y", then the identification's own "Y".
    const auto writes = Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1], Block({0x23, 0, 3, 0x3A, 0x59, 0x2E}));
}

const std::string Signature = "KORVANEXT KVX512 FILE SYSTEM";

INSTANTIATE_TEST_SUITE_P(
    Texts, Identification,
    ::testing::Values(
        IdentificationCase{"Good", std::nullopt, "1.4322", true, 0x14322, "APPL 1.4322"},
        IdentificationCase{"TwoPoints", std::nullopt, "1.43.22", true, 0x14300, "APPL 1.43.22"},
        IdentificationCase{"VersionZero", std::nullopt, "0.00", false, 0, ""},
        IdentificationCase{"NotANumber", std::nullopt, "abc", false, 0, ""},
        IdentificationCase{"EndsAfterIdentity", std::nullopt, "", false, 0, ""},
        IdentificationCase{"WrongSignature", "korvanext kvx512 file system A B C APPL 1.4322", "", false, 0, ""},
        IdentificationCase{"NoSpaceAfterSignature", Signature + "_A B C APPL 1.4322", "", false, 0, ""},
        // Length byte 30: the text stops inside the signature's space.
        IdentificationCase{"Short", Signature, "", false, 0, ""},
        IdentificationCase{"OnlyTwoWords", Signature + " A B", "", false, 0, ""},
        IdentificationCase{"ExtraWords", Signature + " A B C APPL 2 more", "", true, 0x20000, "APPL 2 more"}),
    testsupport::CaseName());

TEST(ParseIdentification, NeverReadsPastTheBlock) {
    // Length byte 255 and no spaces anywhere: every skip runs to the end of the text.
    portio::Block reply{};
    reply.fill('x');
    reply[0] = '#';
    reply[1] = 0;
    reply[2] = 255;
    reply[3] = ':';
    std::memcpy(reply.data() + 4, Signature.data(), Signature.size());
    reply[32] = ' ';
    char text[portio::VersionTextSize] = {};
    uint32_t number = 0;
    EXPECT_FALSE(portio::ParseIdentification(reply.data(), text, number));
}

} // namespace

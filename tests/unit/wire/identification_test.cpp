#include "wire/identification.h"
#include "wire/version_number.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const std::string Signature = "KORVANEXT KVX512 FILE SYSTEM";

struct VersionCase {
    const char* text;
    uint32_t expected;
};

class VersionNumbers : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionNumbers, PackDecimalDigitsAsNibbles) {
    const std::string text = GetParam().text;
    EXPECT_EQ(wire::ParseVersionNumber(reinterpret_cast<const uint8_t*>(text.data()),
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
    ASSERT_TRUE(wire::SkipWord(bytes, text.size(), position));
    EXPECT_EQ(position, 3u);
    ASSERT_TRUE(wire::SkipWord(bytes, text.size(), position));
    EXPECT_EQ(position, 5u);
    EXPECT_FALSE(wire::SkipWord(bytes, text.size(), position));
}

TEST(ParseIdentification, NeverReadsPastTheBlock) {
    // Length byte 255 and no spaces anywhere: every skip runs to the end of the text.
    wire::Block reply{};
    reply.fill('x');
    reply[0] = '#';
    reply[1] = 0;
    reply[2] = 255;
    reply[3] = ':';
    std::memcpy(reply.data() + 4, Signature.data(), Signature.size());
    reply[32] = ' ';
    const wire::Identification parsed = wire::ParseIdentification(reply);
    EXPECT_FALSE(parsed.recognised);
    EXPECT_EQ(parsed.version, 0u);
}

} // namespace

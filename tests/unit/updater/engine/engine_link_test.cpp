// The engine's reply checks.
#include "updater/engine/engine_link.h"

#include <gtest/gtest.h>
#include "tests/support/case_name.h"

#include <vector>

namespace {

struct ReplyCase {
    const char* name;
    std::vector<uint8_t> leading;
    bool ok;
};

class EngineReply : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(EngineReply, IsCheckedWithItsTerminator) {
    portio::Block reply{};
    std::copy(GetParam().leading.begin(), GetParam().leading.end(), reply.begin());
    EXPECT_EQ(updater::IsEngineReplyOk(reply.data()), GetParam().ok);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, EngineReply,
    ::testing::Values(ReplyCase{"Ok", {0x23, 0, 3, 0x3A, 0, 0x2E}, true},
                      ReplyCase{"LengthBelowThree", {0x23, 0, 2, 0x3A, 0, 0x2E}, false},
                      ReplyCase{"Refusal", {0x23, 0, 4, 0x3A, 1, 0x27, 0x2E}, false},
                      ReplyCase{"Progress", {0x23, 0, 4, 0x3A, 0, 50, 0x2E}, true},
                      ReplyCase{"NoTerminator", {0x23, 0, 4, 0x3A, 0, 50, 0x2F}, false},
                      ReplyCase{"NoHash", {0x24, 0, 3, 0x3A, 0, 0x2E}, false},
                      ReplyCase{"NoColon", {0x23, 0, 3, 0x3B, 0, 0x2E}, false},
                      ReplyCase{"LongestLength", [] {
                                    std::vector<uint8_t> bytes(258, 0);
                                    bytes[0] = 0x23;
                                    bytes[2] = 255;
                                    bytes[3] = 0x3A;
                                    bytes[257] = 0x2E;
                                    return bytes;
                                }(),
                                true}),
    testsupport::CaseName());

TEST(OkReply, IsTheSixBytesExactly) {
    portio::Block reply{0x23, 0, 3, 0x3A, 0, 0x2E};
    EXPECT_TRUE(updater::IsOkReply(reply.data()));
    reply[2] = 4;
    EXPECT_FALSE(updater::IsOkReply(reply.data()));
}

} // namespace

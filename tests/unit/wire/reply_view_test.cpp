// The checks the host makes of a reply block.
#include "wire/reply_view.h"

#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

struct ReplyCase {
    const char* name;
    std::vector<uint8_t> leading;
    bool accepted;
    bool ok;
    bool acceptedAndTerminated;
};

class ReplyChecks : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ReplyChecks, ClassifyReply) {
    const auto& c = GetParam();
    wire::Block block{};
    std::copy(c.leading.begin(), c.leading.end(), block.begin());
    const wire::ReplyView reply(block);
    EXPECT_EQ(reply.IsAccepted(), c.accepted);
    EXPECT_EQ(reply.IsOk(), c.ok);
    EXPECT_EQ(reply.IsAcceptedAndTerminated(), c.acceptedAndTerminated);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyChecks,
    ::testing::Values(ReplyCase{"Ok", {0x23, 0, 3, 0x3A, 0, 0x2E}, true, true, true},
                      ReplyCase{"Refusal", {0x23, 0, 3, 0x3A, 1, 0x2E}, false, false, false},
                      ReplyCase{"RefusalWithCode", {0x23, 0, 4, 0x3A, 1, 0x27, 0x2E}, false, false, false},
                      // The '.' is not examined by the plain acceptance.
                      ReplyCase{"LengthTwoNoTerminator", {0x23, 0, 2, 0x3A, 0, 0x00}, true, false, false},
                      ReplyCase{"LengthBelowTwo", {0x23, 0, 1, 0x3A, 0, 0x2E}, false, false, false},
                      ReplyCase{"LengthTwo", {0x23, 0, 2, 0x3A, 0, 0x2E}, true, false, false},
                      ReplyCase{"NoHash", {0x24, 0, 3, 0x3A, 0, 0x2E}, false, false, false},
                      ReplyCase{"NoColon", {0x23, 0, 3, 0x3B, 0, 0x2E}, false, false, false},
                      ReplyCase{"Progress", {0x23, 0, 4, 0x3A, 0, 0x32, 0x2E}, true, false, true},
                      ReplyCase{"ProgressNoTerminator", {0x23, 0, 4, 0x3A, 0, 50, 0x2F}, true, false, false},
                      ReplyCase{"LongestLength",
                                [] {
                                    std::vector<uint8_t> bytes(258, 0);
                                    bytes[0] = 0x23;
                                    bytes[2] = 255;
                                    bytes[3] = 0x3A;
                                    bytes[257] = 0x2E;
                                    return bytes;
                                }(),
                                true, false, true}),
    testsupport::CaseName());

TEST(ReplyView, NamesTheRefusalAndItsCode) {
    wire::Block block{0x23, 0, 4, 0x3A, 1, 0x19, 0x2E};
    const wire::ReplyView reply(block);
    EXPECT_TRUE(reply.IsRefusal());
    EXPECT_EQ(reply.ErrorCode(), 0x19);
    block[6] = 0;
    EXPECT_FALSE(reply.IsRefusal()) << "a refusal ends with its '.'";
}

} // namespace

#include "portio/reply_block.h"

#include <gtest/gtest.h>

#include <array>

namespace {

struct ReplyCase {
    std::array<uint8_t, 6> bytes;
    bool replyOk;
    bool okReply;
};

class ReplyChecks : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ReplyChecks, ClassifyReply) {
    const auto& c = GetParam();
    EXPECT_EQ(portio::IsReplyOk(c.bytes.data()), c.replyOk);
    EXPECT_EQ(portio::IsOkReply(c.bytes.data()), c.okReply);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyChecks,
    ::testing::Values(ReplyCase{{0x23, 0, 3, 0x3A, 0, 0x2E}, true, true},
                      ReplyCase{{0x23, 0, 3, 0x3A, 1, 0x2E}, false, false},     // refusal
                      ReplyCase{{0x23, 0, 2, 0x3A, 0, 0x00}, true, false},      // '.' not examined
                      ReplyCase{{0x23, 0, 1, 0x3A, 0, 0x2E}, false, false},     // length below 2
                      ReplyCase{{0x24, 0, 3, 0x3A, 0, 0x2E}, false, false},     // no '#'
                      ReplyCase{{0x23, 0, 3, 0x3B, 0, 0x2E}, false, false},     // no ':'
                      ReplyCase{{0x23, 0, 4, 0x3A, 0, 0x32}, true, false}));    // progress reply

} // namespace

#include "wire/command_block.h"

#include <gmock/gmock.h>
#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using wire::Block;
using wire::BuildCommandBlock;
using wire::TwoLetterCode;
using ::testing::ElementsAreArray;

struct BlockCase {
    const char* name;
    int form;
    int group;
    uint16_t code;
    std::vector<uint8_t> payload;
    std::vector<uint8_t> expectedStart;
};

class CommandBlockForms : public ::testing::TestWithParam<BlockCase> {};

TEST_P(CommandBlockForms, LaysOutHeaderPayloadAndZeroTail) {
    const auto& c = GetParam();
    Block block;
    block.fill(0xCC);
    ASSERT_TRUE(BuildCommandBlock(block, c.form, c.group, c.code, c.payload.data(), c.payload.size()));
    std::vector<uint8_t> start(block.begin(), block.begin() + static_cast<long>(c.expectedStart.size()));
    EXPECT_THAT(start, ElementsAreArray(c.expectedStart));
    for (size_t i = c.expectedStart.size(); i < block.size(); ++i) {
        ASSERT_EQ(block[i], 0) << "offset " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllForms, CommandBlockForms,
    ::testing::Values(
        BlockCase{"Identification", 0, 0, 'Y', {}, {0x23, 0, 3, 0x3A, 0x59, 0x2E}},
        BlockCase{"ListingOfM", 2, 0, TwoLetterCode('G', 'G'), {}, {0x23, 0, 5, 0x3A, 0x4D, 0x47, 0x47, 0x2E}},
        BlockCase{"DeleteOnS", 1, 1, 'E', {1, 2}, {0x23, 0, 6, 0x3A, 0x53, 0x45, 1, 2, 0x2E}},
        BlockCase{"FileWriteLengthFixed", 3, 0, 'W', std::vector<uint8_t>(64, 0x41),
                  [] {
                      std::vector<uint8_t> v{0x23, 0, 2, 0x3A, 0x4D, 0x57};
                      v.insert(v.end(), 64, 0x41);
                      v.push_back(0x2E);
                      return v;
                  }()},
        BlockCase{"FontOnU", 1, 2, 'W', {'F', 'O', 'N', 'T', 0x00, 0x1F, 0xF0, 0x00},
                  {0x23, 0, 12, 0x3A, 0x55, 0x57, 'F', 'O', 'N', 'T', 0x00, 0x1F, 0xF0, 0x00, 0x2E}},
        BlockCase{"GroupLetterG", 2, -2, TwoLetterCode('F', 'D'), {}, {0x23, 0, 5, 0x3A, 'G', 'F', 'D', 0x2E}},
        BlockCase{"GroupLetterC", 1, -1, 'P', {9}, {0x23, 0, 5, 0x3A, 'C', 'P', 9, 0x2E}}),
    testsupport::CaseName());

TEST(CommandBlock, MakeFolderCarriesBigEndianPayloadLength) {
    std::vector<uint8_t> payload(64, 0x20);
    Block block;
    ASSERT_TRUE(BuildCommandBlock(block, 4, 0, TwoLetterCode('D', 'M'), payload.data(), payload.size()));
    EXPECT_EQ(block[2], 0x47);
    EXPECT_EQ(block[4], 'M');
    EXPECT_EQ(block[5], 'D');
    EXPECT_EQ(block[6], 'M');
    EXPECT_EQ(block[7], 0x00);
    EXPECT_EQ(block[8], 0x40);
    EXPECT_EQ(block[9 + 64], '.');
}

TEST(CommandBlock, LengthByteWrapsModulo256) {
    std::vector<uint8_t> payload(300, 1);
    Block block;
    ASSERT_TRUE(BuildCommandBlock(block, 2, 0, TwoLetterCode('D', 'C'), payload.data(), payload.size()));
    EXPECT_EQ(block[2], (2 + 300 + 3) % 256);
}

TEST(CommandBlock, LargestPayloadOfEachFormEndsOnLastByte) {
    for (int form = 0; form <= 4; ++form) {
        std::vector<uint8_t> payload(wire::MaxPayload(form), 7);
        Block block;
        ASSERT_TRUE(BuildCommandBlock(block, form, 0, TwoLetterCode('D', 'M'), payload.data(), payload.size()))
            << "form " << form;
        EXPECT_EQ(block[511], '.') << "form " << form;
    }
}

TEST(CommandBlock, RefusesWhatWouldNotFitOrIsUnknown) {
    Block block;
    block.fill(0xCC);
    std::vector<uint8_t> payload(506, 1);
    EXPECT_FALSE(BuildCommandBlock(block, 1, 0, 'E', payload.data(), payload.size()));
    EXPECT_FALSE(BuildCommandBlock(block, 5, 0, 'E', nullptr, 0));
    EXPECT_FALSE(BuildCommandBlock(block, -1, 0, 'E', nullptr, 0));
    EXPECT_FALSE(BuildCommandBlock(block, 1, 3, 'E', nullptr, 0));
    EXPECT_FALSE(BuildCommandBlock(block, 2, -3, 'E', nullptr, 0));
    EXPECT_EQ(block[0], 0xCC) << "a refused block is left untouched";
}

} // namespace

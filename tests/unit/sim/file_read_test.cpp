#include "tests/unit/sim/wire_host.h"

#include "tests/support/case_name.h"

namespace {

using namespace simtest;

class FileRead : public ::testing::Test {
protected:
    kvx512sim::Player player;
    WireHost host{player};

    void SendRead(uint32_t position, char group = 'M') { host.Send(CommandBlock(std::string{group, 'R'}, Number16(position))); }

    // The data blocks that follow the two answer blocks, read `size` bytes at a time.
    Bytes ReadAll(uint32_t readSize = 512) {
        Bytes all;
        while (auto block = host.Read(readSize)) {
            all.insert(all.end(), block->begin(), block->end());
        }
        return all;
    }
};

struct ReadCase {
    const char* name;
    uint32_t size;
    uint32_t readSize;
};

class FileReadSizes : public FileRead, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(FileReadSizes, AnswersTwoBlocksThenThePaddedData) {
    const auto& c = GetParam();
    ASSERT_TRUE(player.MakeFolder(0, "/FOLDER"));   // not a file position
    ASSERT_TRUE(player.PutFile(0, "/FIRST.BIN", Pattern(3)));
    ASSERT_TRUE(player.PutFile(0, "/Second file.bin", Pattern(c.size), 1));
    SendRead(1);

    const Bytes first = host.Reply();
    EXPECT_EQ(Head(first, 10), (Bytes{'#', 0, 7, ':', 0, static_cast<uint8_t>(c.size >> 24),
                                      static_cast<uint8_t>(c.size >> 16), static_cast<uint8_t>(c.size >> 8),
                                      static_cast<uint8_t>(c.size), '.'}));
    const Bytes second = host.Reply();
    ASSERT_EQ(second.size(), 512u);
    const auto items = player.ListFolder(0, "/");
    EXPECT_EQ(std::string(second.begin() + 5, second.begin() + 16), items.back().shortName);
    EXPECT_EQ(second[5 + 12], 1) << "header flag of the stored entry";

    Bytes expected = Pattern(c.size);
    expected.resize((c.size + 511) / 512 * 512, 0);
    EXPECT_EQ(ReadAll(c.readSize), expected);
    EXPECT_EQ(player.PendingReplies(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FileReadSizes,
                         ::testing::Values(ReadCase{"OneByte", 1, 512}, ReadCase{"OneShortOfBlock", 511, 512},
                                           ReadCase{"OneBlock", 512, 512}, ReadCase{"BlockAndOne", 513, 512},
                                           ReadCase{"TransferAndOne", 16385, 512},
                                           ReadCase{"TransferAndOneInLargeReads", 16385, 16384}),
                         testsupport::CaseName{});

TEST_F(FileRead, EmptyFileHasNoDataBlocks) {
    ASSERT_TRUE(player.PutFile(0, "/EMPTY.BIN", {}));
    SendRead(0);
    EXPECT_EQ(Head(host.Reply(), 6), (Bytes{'#', 0, 7, ':', 0, 0}));
    host.Reply();
    EXPECT_EQ(player.PendingReplies(), 0u);
}

TEST_F(FileRead, PositionOutOfRangeAnswersTwoRefusalsAndNoData) {
    ASSERT_TRUE(player.PutFile(0, "/ONLY.BIN", Pattern(600)));
    SendRead(1);
    EXPECT_EQ(Head(host.Reply(), 7), ErrorReply(kvx512sim::ErrorBadRequest));
    EXPECT_EQ(Head(host.Reply(), 7), ErrorReply(kvx512sim::ErrorBadRequest));
    EXPECT_FALSE(host.Read().has_value());
}

TEST_F(FileRead, CancelDropsTheRestOfTheData) {
    ASSERT_TRUE(player.PutFile(0, "/BIG.BIN", Pattern(5000)));
    SendRead(0);
    host.Reply();
    host.Reply();
    host.Read();
    host.Cancel();
    EXPECT_FALSE(host.Read().has_value());
    EXPECT_EQ(player.FileData(0, "/BIG.BIN"), Pattern(5000));
}

TEST_F(FileRead, DetachAfterDataBytesCutsTheRead) {
    ASSERT_TRUE(player.PutFile(0, "/BIG.BIN", Pattern(5000)));
    player.DetachAfterDataBytes(1024);
    SendRead(0);
    host.Reply();
    host.Reply();
    EXPECT_TRUE(host.Read().has_value());
    EXPECT_TRUE(host.Read().has_value());
    EXPECT_FALSE(host.Read().has_value());
    EXPECT_FALSE(player.Attached());
}

} // namespace

#include "tests/unit/sim/wire_host.h"

#include "tests/support/case_name.h"

namespace {

using namespace simtest;

class Listing : public ::testing::Test {
protected:
    kvx512sim::Player player;
    WireHost host{player};

    // The header and every entry block of one "GG".
    std::pair<Bytes, Bytes> List(char group = 'M') {
        host.Send(CommandBlock(std::string{group, 'G', 'G'}));
        Bytes header = host.Reply();
        Bytes entries;
        while (auto block = host.Read()) {
            EXPECT_EQ(block->size(), 512u);
            entries.insert(entries.end(), block->begin(), block->end());
        }
        return {header, entries};
    }

    static std::string Name(size_t i) {
        std::string name = "/F" + std::to_string(i) + ".BIN";
        return name;
    }
};

struct CountCase {
    const char* name;
    size_t files;
    size_t blocks;
};

class ListingSizes : public Listing, public ::testing::WithParamInterface<CountCase> {};

TEST_P(ListingSizes, HeaderThenEntriesInWholeBlocks) {
    const auto& c = GetParam();
    for (size_t i = 0; i < c.files; ++i) {
        ASSERT_TRUE(player.PutFile(0, Name(i), Pattern(16385)));
    }
    player.SetCapacityUnits(0, 100);
    const auto [header, entries] = List();
    EXPECT_EQ(Head(header, 6), (Bytes{'#', 0, 0x0B, ':', 0, 'M'}));
    EXPECT_EQ(Be16(header, 6), c.files);
    EXPECT_EQ(Be16(header, 8), c.files);
    EXPECT_EQ(Be16(header, 10), 100);
    EXPECT_EQ(Be16(header, 12), 2 * c.files);
    ASSERT_EQ(entries.size(), c.blocks * 512);
    Bytes expected = player.RawDirectory(0, 0);
    expected.resize(c.blocks * 512, 0);
    EXPECT_EQ(entries, expected);
}

INSTANTIATE_TEST_SUITE_P(Counts, ListingSizes,
                         ::testing::Values(CountCase{"Empty", 0, 0}, CountCase{"One", 1, 1},
                                           CountCase{"Sixteen", 16, 1}, CountCase{"Seventeen", 17, 2},
                                           CountCase{"ThirtyThree", 33, 3}),
                         testsupport::CaseName{});

TEST_F(Listing, DeletedEntriesStayListedUntilReused) {
    ASSERT_TRUE(player.PutFile(0, "/A.BIN", Pattern(1)));
    ASSERT_TRUE(player.PutFile(0, "/Long b.bin", Pattern(1)));   // two entries
    ASSERT_TRUE(player.PutFile(0, "/C.BIN", Pattern(1)));
    host.Send(CommandBlock("ME", Number16(1)));
    ASSERT_EQ(Head(host.Reply(), 6), OkReply);

    auto [header, entries] = List();
    EXPECT_EQ(Be16(header, 6), 2);
    EXPECT_EQ(Be16(header, 8), 4);
    EXPECT_EQ(entries[32], 0xE5);
    EXPECT_EQ(entries[64], 0xE5);
    EXPECT_EQ(entries[64 + 11], 0x20) << "the rest of a deleted entry is kept";

    // New entries take deleted slots first, then go to the end.
    for (const char* name : {"/D.BIN", "/E.BIN", "/F.BIN"}) {
        ASSERT_TRUE(player.PutFile(0, name, Pattern(1)));
    }
    std::tie(header, entries) = List();
    EXPECT_EQ(Be16(header, 8), 5);
    EXPECT_EQ(std::string(entries.begin() + 32, entries.begin() + 43), "D       BIN");
    EXPECT_EQ(std::string(entries.begin() + 64, entries.begin() + 75), "E       BIN");
    EXPECT_EQ(std::string(entries.begin() + 128, entries.begin() + 139), "F       BIN");
}

TEST_F(Listing, FoldersCountAsEntriesNotFiles) {
    ASSERT_TRUE(player.MakeFolder(0, "/MUSIC"));
    ASSERT_TRUE(player.PutFile(0, "/A.BIN", Pattern(1)));
    const auto [header, entries] = List();
    EXPECT_EQ(Be16(header, 6), 1);
    EXPECT_EQ(Be16(header, 8), 2);
}

TEST_F(Listing, AbsentStorageMarksTheFileCount) {
    player.SetSecondStoragePresent(false);
    const auto [header, entries] = List('S');
    EXPECT_EQ(Be16(header, 6), 0xFFFF);
    EXPECT_TRUE(entries.empty());
    player.SetSecondStoragePresent(true);
    EXPECT_EQ(Be16(List('S').first, 10), 2048);
}

TEST_F(Listing, OverrideReplacesTheNextListingOnly) {
    Bytes header(16, 0);
    header[8] = 0;
    header[9] = 17;   // promises two blocks, sends one
    player.OverrideNextListing(header, Bytes(32, 0x41));
    const auto [sentHeader, entries] = List();
    Bytes expected = header;
    expected.resize(512, 0);
    EXPECT_EQ(sentHeader, expected);
    Bytes expectedEntries(32, 0x41);
    expectedEntries.resize(512, 0);
    EXPECT_EQ(entries, expectedEntries);
    EXPECT_EQ(Be16(List().first, 10), 4096);
}

TEST_F(Listing, OverrideOfTheEntriesKeepsTheRealHeader) {
    player.OverrideNextListing({}, Bytes(600, 0xFF));
    const auto [header, entries] = List();
    EXPECT_EQ(Be16(header, 10), 4096);
    EXPECT_EQ(entries.size(), 1024u);
}

TEST_F(Listing, RefusedListingIsOneErrorReply) {
    player.RefuseNextCommand(0x42);
    const auto [header, entries] = List();
    EXPECT_EQ(Head(header, 7), ErrorReply(0x42));
    EXPECT_TRUE(entries.empty());
}

} // namespace

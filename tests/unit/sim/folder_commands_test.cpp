#include "tests/unit/sim/wire_host.h"

#include "tests/support/case_name.h"

namespace {

using namespace simtest;

class FolderCommands : public ::testing::Test {
protected:
    kvx512sim::Player player;
    WireHost host{player};

    Bytes Command(std::string_view head, const Bytes& payload = {}) {
        host.Send(CommandBlock(head, payload));
        return host.Reply();
    }
    Bytes MakeFolderOnWire(const Bytes& entries) { return Command("MDM", Join({Number16(static_cast<uint32_t>(entries.size())), entries})); }

    std::vector<std::string> ShortNames(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& item : player.ListFolder(0, folder)) {
            names.push_back(item.shortName);
        }
        return names;
    }
};

TEST_F(FolderCommands, DeleteFreesTheUnitsAndCountsFilesOnly) {
    ASSERT_TRUE(player.MakeFolder(0, "/DIR"));
    ASSERT_TRUE(player.PutFile(0, "/A.BIN", Pattern(20000)));
    ASSERT_TRUE(player.PutFile(0, "/B.BIN", Pattern(1)));
    EXPECT_EQ(Head(Command("ME", Number16(2)), 7), ErrorReply(kvx512sim::ErrorBadRequest));
    EXPECT_EQ(Head(Command("ME", Number16(0)), 6), OkReply);
    EXPECT_EQ(player.UsedUnits(0), 1);
    EXPECT_EQ(ShortNames("/"), (std::vector<std::string>{"DIR        ", "B       BIN"}));
    EXPECT_FALSE(player.FileData(0, "/A.BIN").has_value());
}

TEST_F(FolderCommands, SwapMovesWholeGroupsAndKeepsWhatLiesBetween) {
    ASSERT_TRUE(player.PutFile(0, "/First long name.bin", Pattern(1)));   // two long-name entries
    ASSERT_TRUE(player.MakeFolder(0, "/DIR"));
    ASSERT_TRUE(player.PutFile(0, "/B.BIN", Pattern(2)));
    ASSERT_TRUE(player.PutFile(0, "/C.BIN", Pattern(3)));
    const size_t slots = player.RawDirectory(0, 0).size();
    EXPECT_EQ(Head(Command("MP", Join({Number16(2), Number16(0)})), 6), OkReply);

    EXPECT_EQ(player.RawDirectory(0, 0).size(), slots);
    const auto items = player.ListFolder(0, "/");
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].shortName, "C       BIN");
    EXPECT_EQ(items[1].shortName, "DIR        ");
    EXPECT_EQ(items[2].shortName, "B       BIN");
    EXPECT_EQ(items[3].longName, u"First long name.bin");
    EXPECT_EQ(player.FileData(0, "/First long name.bin"), Pattern(1));
    EXPECT_EQ(Head(Command("MP", Join({Number16(0), Number16(3)})), 7), ErrorReply(kvx512sim::ErrorBadRequest));
}

TEST_F(FolderCommands, MakeFolderFromEntriesAddsDotEntries) {
    const Bytes entries = Join({LongNameEntries("Music", 0xA6), ShortEntry("MUSIC      ", 0, 0x10)});
    ASSERT_EQ(Head(MakeFolderOnWire(entries), 6), OkReply);
    const uint32_t number = player.FolderNumber(0, "/Music");
    ASSERT_NE(number, kvx512sim::Player::NoFolder);
    EXPECT_NE(number, 0u);

    const auto inside = player.ListFolder(0, "/Music");
    ASSERT_EQ(inside.size(), 2u);
    EXPECT_EQ(inside[0].shortName, ".          ");
    EXPECT_EQ(inside[0].firstCluster, number);
    EXPECT_EQ(inside[1].shortName, "..         ");
    EXPECT_EQ(inside[1].firstCluster, 0u);
    EXPECT_EQ(inside[1].attribute, 0x10);

    const Bytes raw = player.RawDirectory(0, 0);
    EXPECT_EQ(Bytes(raw.begin(), raw.begin() + 32), Bytes(entries.begin(), entries.begin() + 32));
    EXPECT_EQ(Head(MakeFolderOnWire(entries), 7), ErrorReply(0x19)) << "the name exists";
}

struct MalformedFolderCase {
    const char* name;
    Bytes entries;
};

class MalformedFolder : public FolderCommands, public ::testing::WithParamInterface<MalformedFolderCase> {};

TEST_P(MalformedFolder, IsRefused) {
    EXPECT_EQ(Head(MakeFolderOnWire(GetParam().entries), 7), ErrorReply(kvx512sim::ErrorBadRequest));
    EXPECT_EQ(player.RawDirectory(0, 0).size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Entries, MalformedFolder,
                         ::testing::Values(MalformedFolderCase{"NotAFolder", ShortEntry("MUSIC      ", 0, 0x20)},
                                           MalformedFolderCase{"OnlyLongNames", LongNameEntries("Music", 0xA6)},
                                           MalformedFolderCase{"DeletedEntry", ShortEntry("\xE5USIC      ", 0, 0x10)},
                                           MalformedFolderCase{"PartOfAnEntry", Bytes(20, 0x41)}),
                         testsupport::CaseName{});

TEST_F(FolderCommands, ChangeFolderMakesTheListingThatOfTheFolder) {
    ASSERT_TRUE(player.MakeFolder(0, "/DIR"));
    ASSERT_TRUE(player.PutFile(0, "/DIR/IN.BIN", Pattern(700)));
    const uint32_t number = player.FolderNumber(0, "/DIR");
    EXPECT_EQ(Head(Command("MDC", Number16(number)), 6), OkReply);
    EXPECT_EQ(player.CurrentFolder(0), number);

    host.Send(CommandBlock("MGG"));
    const Bytes header = host.Reply();
    EXPECT_EQ(Be16(header, 6), 1);
    EXPECT_EQ(Be16(header, 8), 3);
    EXPECT_EQ(host.Reply()[0], '.');
    host.Send(CommandBlock("MR", Number16(0)));   // file positions count in the current folder
    EXPECT_EQ(Be16(host.Reply(), 7), 700);
    while (host.Read()) {
    }

    EXPECT_EQ(Head(Command("MDC", Number16(0)), 6), OkReply);
    EXPECT_EQ(player.CurrentFolder(0), 0u);
}

struct RemoveCase {
    const char* name;
    bool fileInside;
    bool makeCurrent;
    uint32_t numberOffset;   // added to the folder's number
    uint8_t reply;           // 0: OK
};

class RemoveFolder : public FolderCommands, public ::testing::WithParamInterface<RemoveCase> {};

TEST_P(RemoveFolder, RemovesOnlyEmptyFoldersThatAreNotInUse) {
    const auto& c = GetParam();
    ASSERT_TRUE(player.MakeFolder(0, "/Some folder"));
    if (c.fileInside) {
        ASSERT_TRUE(player.PutFile(0, "/Some folder/A.BIN", Pattern(1)));
    }
    const uint32_t number = player.FolderNumber(0, "/Some folder");
    if (c.makeCurrent) {
        ASSERT_EQ(Head(Command("MDC", Number16(number)), 6), OkReply);
    }
    const Bytes reply = Command("MDR", Number16(number + c.numberOffset));
    if (c.reply == 0) {
        EXPECT_EQ(Head(reply, 6), OkReply);
        EXPECT_EQ(player.FolderNumber(0, "/Some folder"), kvx512sim::Player::NoFolder);
        const Bytes raw = player.RawDirectory(0, 0);
        ASSERT_EQ(raw.size(), 64u);
        EXPECT_EQ(raw[0], 0xE5);
        EXPECT_EQ(raw[32], 0xE5);
    } else {
        EXPECT_EQ(Head(reply, 7), ErrorReply(c.reply));
        EXPECT_EQ(player.FolderNumber(0, "/Some folder"), number);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, RemoveFolder,
                         ::testing::Values(RemoveCase{"Empty", false, false, 0, 0},
                                           RemoveCase{"NotEmpty", true, false, 0, kvx512sim::ErrorFolderNotEmpty},
                                           RemoveCase{"Current", false, true, 0, kvx512sim::ErrorFolderInUse},
                                           RemoveCase{"Unknown", false, false, 100, kvx512sim::ErrorBadRequest}),
                         testsupport::CaseName{});

TEST_F(FolderCommands, TopLevelCannotBeRemovedNorAnUnknownFolderEntered) {
    EXPECT_EQ(Head(Command("MDR", Number16(0)), 7), ErrorReply(kvx512sim::ErrorFolderInUse));
    EXPECT_EQ(Head(Command("MDC", Number16(77)), 7), ErrorReply(kvx512sim::ErrorBadRequest));
    player.SetSecondStoragePresent(false);
    EXPECT_EQ(Head(Command("SDC", Number16(0)), 7), ErrorReply(kvx512sim::ErrorNoStorage));
}

struct PathCase {
    const char* name;
    int depth;
};

class CurrentPath : public FolderCommands, public ::testing::WithParamInterface<PathCase> {};

TEST_P(CurrentPath, EntriesOfEveryFolderFromTheTopDown) {
    Bytes expected;
    std::string path;
    for (int level = 0; level < GetParam().depth; ++level) {
        const std::string parent = path.empty() ? "/" : path;
        path += "/Folder with a long name " + std::to_string(level);   // two long-name entries and the short one
        ASSERT_TRUE(player.MakeFolder(0, path));
        const Bytes raw = player.RawDirectory(0, player.FolderNumber(0, parent));
        expected.insert(expected.end(), raw.end() - 96, raw.end());
    }
    ASSERT_EQ(Head(Command("MDC", Number16(player.FolderNumber(0, path.empty() ? "/" : path))), 6), OkReply);

    host.Send(CommandBlock("MDG"));
    const Bytes first = host.Reply();
    EXPECT_EQ(Head(first, 5), (Bytes{'#', 0, 4, ':', 0}));
    ASSERT_EQ(Be16(first, 5), expected.size());
    Bytes entries(first.begin() + 7, first.end());
    const size_t more = expected.size() > 505 ? (expected.size() - 505 + 511) / 512 : 0;
    for (size_t i = 0; i < more; ++i) {
        const Bytes block = host.Reply();
        entries.insert(entries.end(), block.begin(), block.end());
    }
    EXPECT_EQ(Bytes(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(expected.size())), expected);
    EXPECT_EQ(Head(host.Reply(), 6), OkReply);
    EXPECT_FALSE(host.Read().has_value());
}

INSTANTIATE_TEST_SUITE_P(Depths, CurrentPath,
                         ::testing::Values(PathCase{"TopLevel", 0}, PathCase{"One", 1}, PathCase{"Five", 5},
                                           PathCase{"SixCrossesTheFirstBlock", 6}, PathCase{"Eleven", 11}),
                         testsupport::CaseName{});

struct DeepFolderCase {
    const char* name;
    Bytes entries;
    Bytes reply;
    uint16_t pathBytes;   // what "DG" counts afterwards, from inside the new folder if made
};

class DeepestFolder : public FolderCommands, public ::testing::WithParamInterface<DeepFolderCase> {};

// "DG" counts the path's bytes in 16 bits: no folder may lie deeper than that count can tell.
TEST_P(DeepestFolder, IsMadeOnlyWhileThePathFitsTheCount) {
    std::string path;
    for (int level = 1000; level < 1682; ++level) {   // 682 groups of 96 bytes (two long-name entries): 65,472
        path += "/Level folder " + std::to_string(level);
        ASSERT_TRUE(player.MakeFolder(0, path)) << level;
    }
    EXPECT_FALSE(player.MakeFolder(0, path + "/Level folder 1682"));
    ASSERT_EQ(Head(Command("MDC", Number16(player.FolderNumber(0, path))), 6), OkReply);

    EXPECT_EQ(Head(MakeFolderOnWire(GetParam().entries), GetParam().reply.size()), GetParam().reply);
    const uint32_t made = player.FolderNumber(0, path + "/Music");
    if (made != kvx512sim::Player::NoFolder) {
        ASSERT_EQ(Head(Command("MDC", Number16(made)), 6), OkReply);
    }
    host.Send(CommandBlock("MDG"));
    EXPECT_EQ(Be16(host.Reply(), 5), GetParam().pathBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, DeepestFolder,
    ::testing::Values(DeepFolderCase{"ShortEntryFits", ShortEntry("MUSIC      ", 0, 0x10), OkReply, 65504},
                      DeepFolderCase{"LongNameWouldPassTheCount",
                                     Join({LongNameEntries("Music", 0xA6), ShortEntry("MUSIC      ", 0, 0x10)}),
                                     ErrorReply(kvx512sim::ErrorBadRequest), 65472}),
    testsupport::CaseName{});

} // namespace

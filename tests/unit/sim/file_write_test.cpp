#include "tests/unit/sim/wire_host.h"

#include "tests/support/case_name.h"

namespace {

using namespace simtest;
using kvx512sim::UsbStatus;

class FileWrite : public ::testing::Test {
protected:
    kvx512sim::Player player;
    WireHost host{player};

    Bytes SendWrite(const Bytes& entries, char group = 'M') {
        host.Send(CommandBlock(std::string{group, 'W'}, WritePayload(entries), 2));
        return host.Reply();
    }
    bool Listed(const std::string& shortName) {
        for (const auto& item : player.ListFolder(0, "/")) {
            if (item.shortName == shortName) {
                return true;
            }
        }
        return false;
    }
};

struct SizeCase {
    const char* name;
    uint32_t size;
};

class FileWriteSizes : public FileWrite, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(FileWriteSizes, StoresExactlyTheAnnouncedBytes) {
    const uint32_t size = GetParam().size;
    const Bytes data = Pattern(size);
    EXPECT_EQ(Head(SendWrite(ShortEntry("SONG    MP3", size, 0x20, 1)), 6), OkReply);
    if (size > 0) {
        EXPECT_FALSE(Listed("SONG    MP3")) << "listed before its bytes arrived";
    }
    host.SendData(data);
    EXPECT_FALSE(player.InDataPhase());
    EXPECT_EQ(player.FileData(0, "/SONG.MP3"), data);
    EXPECT_TRUE(Listed("SONG    MP3"));
    EXPECT_EQ(player.UsedUnits(0), (size + 16383) / 16384);
    EXPECT_EQ(player.PendingReplies(), 0u) << "padding was taken for a command";
}

INSTANTIATE_TEST_SUITE_P(Sizes, FileWriteSizes,
                         ::testing::Values(SizeCase{"Empty", 0}, SizeCase{"OneByte", 1}, SizeCase{"OneShortOfBlock", 511},
                                           SizeCase{"OneBlock", 512}, SizeCase{"BlockAndOne", 513},
                                           SizeCase{"TransferAndOne", 16385}, SizeCase{"TwoTransfers", 32768}),
                         testsupport::CaseName{});

TEST_F(FileWrite, KeepsTheEntriesAsSentAndGivesTheFileACluster) {
    const Bytes shortEntry = ShortEntry("TRACKT~1MP3", 700, 0x20, 1, 0x3221, 0x5C4F);
    const Bytes entries = Join({LongNameEntries("Track thirteen.mp3", 0x70), shortEntry});
    ASSERT_EQ(Head(SendWrite(entries), 6), OkReply);
    host.SendData(Pattern(700));

    const Bytes raw = player.RawDirectory(0, 0);
    ASSERT_EQ(raw.size(), entries.size());
    Bytes expected = entries;
    const size_t s = entries.size() - 32;
    for (size_t i : {20, 21, 26, 27}) {
        expected[s + i] = raw[s + i];   // the first cluster is the player's to give
    }
    EXPECT_EQ(raw, expected);
    EXPECT_NE(raw[s + 26] | raw[s + 27] << 8 | raw[s + 20] << 16, 0);
    const auto items = player.ListFolder(0, "/");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].longName, u"Track thirteen.mp3");
    EXPECT_EQ(player.FileData(0, "/Track thirteen.mp3"), Pattern(700));
}

TEST_F(FileWrite, RefusesEntriesWithoutATrueByteCount) {
    const Bytes entry = ShortEntry("PLAIN   TXT", 3);
    Bytes wrongCount{0x00, 0x40};   // one entry is 32 bytes: the count must be 0x21
    wrongCount.insert(wrongCount.end(), entry.begin(), entry.end());
    for (const Bytes& payload : {entry, wrongCount}) {
        host.Send(CommandBlock("MW", payload, 2));
        const Bytes reply = host.Reply();
        EXPECT_EQ(reply[4], 1) << "refused";
        EXPECT_EQ(reply[5], kvx512sim::ErrorBadRequest);
    }
    EXPECT_FALSE(player.FileData(0, "/PLAIN.TXT").has_value());
}

TEST_F(FileWrite, CommandBlocksInTheDataPhaseAreData) {
    ASSERT_EQ(Head(SendWrite(ShortEntry("DATA    BIN", 512)), 6), OkReply);
    const Bytes listing = CommandBlock("MGG");
    host.Send(listing);
    EXPECT_EQ(player.PendingReplies(), 0u);
    EXPECT_EQ(player.FileData(0, "/DATA.BIN"), listing);
}

struct RefusalCase {
    const char* name;
    uint16_t capacityUnits;
    uint16_t slotLimit;
    const char* existing;    // a file put there first, or nullptr
    uint32_t size;
    const char* longName;    // sent before the short entry, or nullptr
    uint8_t code;
};

class FileWriteRefusals : public FileWrite, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(FileWriteRefusals, RefusesAndStaysReadyForCommands) {
    const auto& c = GetParam();
    player.SetCapacityUnits(0, c.capacityUnits);
    player.SetFolderSlotLimit(0, c.slotLimit);
    if (c.existing != nullptr) {
        ASSERT_TRUE(player.PutFile(0, c.existing, Pattern(10)));
    }
    const Bytes shortEntry = ShortEntry("SONG    MP3", c.size);
    const Bytes entries = c.longName ? Join({LongNameEntries(c.longName, 0x6F), shortEntry}) : shortEntry;
    EXPECT_EQ(Head(SendWrite(entries), 7), ErrorReply(c.code));
    EXPECT_FALSE(player.InDataPhase());
    host.Send(CommandBlock("MGG"));
    EXPECT_EQ(Head(host.Reply(), 6), (Bytes{'#', 0, 0x0B, ':', 0, 'M'}));
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, FileWriteRefusals,
    ::testing::Values(RefusalCase{"NoRoom", 1, 512, nullptr, 16385, nullptr, 0x27},
                      RefusalCase{"NoRoomLeft", 2, 512, "/OTHER.BIN", 16385, nullptr, 0x27},
                      RefusalCase{"ShortNameExists", 100, 512, "/SONG.MP3", 10, nullptr, 0x19},
                      RefusalCase{"LongNameExists", 100, 512, "/My Song.mp3", 10, "my song.MP3", 0x19},
                      RefusalCase{"FolderFull", 100, 1, "/OTHER.BIN", 10, nullptr, 0x19},
                      RefusalCase{"NoSlotsForTheLongName", 100, 2, "/OTHER.BIN", 10, "Song.mp3", 0x19}),
    testsupport::CaseName{});

TEST_F(FileWrite, AbsentStorageRefusesTheWrite) {
    player.SetSecondStoragePresent(false);
    EXPECT_EQ(Head(SendWrite(ShortEntry("SONG    MP3", 10), 'S'), 7), ErrorReply(kvx512sim::ErrorNoStorage));
    EXPECT_FALSE(player.InDataPhase());
}

TEST_F(FileWrite, CancelInTheDataPhaseLeavesNoHalfFile) {
    ASSERT_EQ(Head(SendWrite(ShortEntry("SONG    MP3", 40000)), 6), OkReply);
    host.Send(Pattern(16384));
    host.Cancel();
    EXPECT_FALSE(player.InDataPhase());
    EXPECT_FALSE(Listed("SONG    MP3"));
    EXPECT_EQ(player.UsedUnits(0), 0);
    host.Send(CommandBlock("MGG"));   // a command again, not data
    EXPECT_EQ(Be16(host.Reply(), 8), 0);
}

TEST_F(FileWrite, DetachInTheDataPhaseCutsTheTransferAndDropsTheFile) {
    player.DetachAfterDataBytes(20000);
    ASSERT_EQ(Head(SendWrite(ShortEntry("SONG    MP3", 40000)), 6), OkReply);
    EXPECT_EQ(host.Write(Pattern(16384)), UsbStatus::Success);
    EXPECT_EQ(host.Write(Pattern(16384)), UsbStatus::NotAttached);
    EXPECT_FALSE(player.Attached());
    player.Attach();
    EXPECT_FALSE(player.InDataPhase());
    EXPECT_FALSE(Listed("SONG    MP3"));
    EXPECT_EQ(host.Write(Pattern(16384)), UsbStatus::Success) << "the knob strikes once";
}

TEST_F(FileWrite, RefuseNextCommandRefusesTheWriteOnly) {
    player.RefuseNextCommand(0x19);
    host.Send(CommandBlock("Y"));   // the link handshake is not the command refused
    EXPECT_EQ(host.Reply()[4], 'K');
    EXPECT_EQ(Head(SendWrite(ShortEntry("SONG    MP3", 10)), 7), ErrorReply(0x19));
    EXPECT_EQ(Head(SendWrite(ShortEntry("SONG    MP3", 10)), 6), OkReply);
}

} // namespace

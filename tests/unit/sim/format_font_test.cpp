#include "tests/unit/sim/wire_host.h"

#include "tests/support/case_name.h"

namespace {

using namespace simtest;

class FormatAndFont : public ::testing::Test {
protected:
    kvx512sim::Player player;
    WireHost host{player};
};

struct FormatCase {
    const char* name;
    const char* command;
    int step;
    std::vector<int> percentages;
};

class Format : public FormatAndFont, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(Format, ProgressThenOkAndAnEmptyStorage) {
    const auto& c = GetParam();
    const int index = c.command[0] == 'M' ? 0 : 1;
    ASSERT_TRUE(player.MakeFolder(index, "/DIR"));
    ASSERT_TRUE(player.PutFile(index, "/DIR/A.BIN", Pattern(40000)));
    host.Send(CommandBlock("MDC", Number16(player.FolderNumber(index, "/DIR"))));
    host.Read();
    player.SetFormatPace(c.step, 0);

    host.Send(CommandBlock(c.command));
    for (int percent : c.percentages) {
        EXPECT_EQ(Head(host.Reply(), 7), (Bytes{'#', 0, 4, ':', 0, static_cast<uint8_t>(percent), '.'}));
    }
    EXPECT_EQ(Head(host.Reply(), 6), OkReply);
    EXPECT_FALSE(host.Read().has_value());
    EXPECT_EQ(player.UsedUnits(index), 0);
    EXPECT_EQ(player.CurrentFolder(index), 0u);
    EXPECT_TRUE(player.RawDirectory(index, 0).empty());
    EXPECT_FALSE(player.FileData(index, "/DIR/A.BIN").has_value());
}

INSTANTIATE_TEST_SUITE_P(Paces, Format,
                         ::testing::Values(FormatCase{"FormatDefault", "MFD", 25, {25, 50, 75}},
                                           FormatCase{"LowLevelDefault", "MLD", 25, {25, 50, 75}},
                                           FormatCase{"SecondStorage", "SFD", 25, {25, 50, 75}},
                                           FormatCase{"ReachesNinetyNine", "MFD", 33, {33, 66, 99}},
                                           FormatCase{"NoProgress", "MLD", 100, {}}),
                         testsupport::CaseName{});

TEST_F(FormatAndFont, PacedProgressArrivesLate) {
    player.SetFormatPace(50, 40);
    host.Send(CommandBlock("MFD"));
    EXPECT_FALSE(host.Read(512, 0).has_value()) << "nothing before the first delay";
    EXPECT_EQ(host.Read(512, 1000).value_or(Bytes(6))[5], 50);
    EXPECT_EQ(Head(host.Read(512, 1000).value_or(Bytes(6)), 6), OkReply);
}

TEST_F(FormatAndFont, FontIsKeptWithItsName) {
    const Bytes data = Pattern(40000);
    host.Send(CommandBlock("UW", Join({Bytes{'F', 'O', 'N', 'T'}, Bytes{0, 0, 0x9C, 0x40}})));
    EXPECT_EQ(Head(host.Reply(), 6), OkReply);
    EXPECT_TRUE(player.InDataPhase());
    host.SendData(data);
    EXPECT_FALSE(player.InDataPhase());
    EXPECT_EQ(player.FontName(), "FONT");
    EXPECT_EQ(player.FontData(), data);
    EXPECT_TRUE(player.RawDirectory(0, 0).empty()) << "the font is no file of a storage";
}

TEST_F(FormatAndFont, CancelledFontLeavesTheOldOne) {
    host.Send(CommandBlock("UW", Join({Bytes{'O', 'L', 'D'}, Bytes{0, 0, 0, 2}})));
    host.Read();
    host.SendData({7, 8});
    host.Send(CommandBlock("UW", Join({Bytes{'N', 'E', 'W'}, Bytes{0, 0, 0x40, 0}})));
    host.Read();
    host.SendData(Pattern(1024));
    host.Cancel();
    EXPECT_EQ(player.FontName(), "OLD");
    EXPECT_EQ(player.FontData(), (Bytes{7, 8}));
}

} // namespace

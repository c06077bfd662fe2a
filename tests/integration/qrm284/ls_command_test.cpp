// qrm284 ls in this process, against the simulated player: names as the
// player stores them reach the terminal escaped.
#include "sim/bus.h"
#include "tests/support/case_name.h"
#include "tools/qrm284/commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct NameCase {
    const char* name;
    std::string stored;   // the file's long name on the player (UTF-8)
    std::string shown;    // what the listing line ends with
};

class LsNames : public ::testing::TestWithParam<NameCase> {
protected:
    void SetUp() override { kvx512sim::Bus::Instance().Reset(); }
    kvx512sim::Player& Player() { return kvx512sim::Bus::Instance().GetPlayer(0); }
};

TEST_P(LsNames, ControlCharactersAreShownEscapedOnOneLine) {
    ASSERT_TRUE(Player().PutFile(0, "/" + GetParam().stored, std::vector<uint8_t>(10, 1)));
    CLI::App app;
    int status = -1;
    qrm284::AddLsCommand(app, status);
    testing::internal::CaptureStdout();
    app.parse(std::vector<std::string>{"ls"});
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 0);
    // One line for the file, one for the totals: nothing the name holds ends a line.
    const std::string fileLine = output.substr(0, output.find('\n'));
    EXPECT_EQ(fileLine.substr(fileLine.size() - GetParam().shown.size()), GetParam().shown) << output;
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 2) << output;
    EXPECT_EQ(output.find('\x1b'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Names, LsNames,
    ::testing::Values(NameCase{"Plain", "Song One.mp3", "  Song One.mp3"},
                      NameCase{"LineFeed", "two\nlines.mp3", "  two\\nlines.mp3"},
                      NameCase{"Escape", "red\x1b[31m.mp3", "  red\\x1B[31m.mp3"},
                      NameCase{"TabAndReturn", "a\tb\rc.mp3", "  a\\tb\\rc.mp3"},
                      NameCase{"Delete", "del\x7f.mp3", "  del\\x7F.mp3"},
                      NameCase{"Backslash", "back\\slash.mp3", "  back\\\\slash.mp3"},
                      NameCase{"Utf8Kept", "caf\xc3\xa9.mp3", "  caf\xc3\xa9.mp3"}),
    testsupport::CaseName());

} // namespace

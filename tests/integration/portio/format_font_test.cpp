// Formatting with progress messages, and the font download.
#include "platform/window/window_messages.h"
#include "tests/support/case_name.h"
#include "tests/support/portio_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

using Message = std::pair<platform::WPARAM, platform::LPARAM>;

class FormatAndFont : public testsupport::PortioSessionTest {
protected:
    void SetUp() override {
        PortioSessionTest::SetUp();
        window = platform::CreateMessageWindow(
            [this](platform::HWND, platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam) {
                EXPECT_EQ(message, 0x8123u);
                messages.emplace_back(wParam, lParam);
                return platform::LRESULT{0};
            });
    }
    void TearDown() override {
        platform::DestroyMessageWindow(window);
        PortioSessionTest::TearDown();
    }

    platform::HWND window = nullptr;
    std::vector<Message> messages;
};

struct FormatCase {
    const char* name;
    int storage;
    int lowLevel;
    char code;
    platform::WPARAM second;
};

class FormatKinds : public FormatAndFont, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(FormatKinds, ReportsProgressAndEmptiesTheStorage) {
    const auto& c = GetParam();
    ASSERT_TRUE(Player().PutFile(c.storage, "/keep.mp3", Pattern(5000)));
    Player().SetFormatPace(25, 0);
    ASSERT_EQ(dll_fn_format_device(c.storage, window, 0x8123, c.lowLevel), 0);

    const auto block = Commands().at(0);
    EXPECT_EQ(block, Block({0x23, 0, 5, 0x3A, c.storage ? 'S' : 'M', c.code, 'D', 0x2E}));
    ASSERT_GE(messages.size(), 4u);
    EXPECT_EQ(messages[0], Message(0, 0));
    EXPECT_EQ(messages[1], Message(c.second, 0));
    EXPECT_EQ(messages.back(), Message(6, 100));
    EXPECT_EQ(messages[messages.size() - 2], Message(6, '.' + 1)) << "the OK reply passes as a progress message";
    for (size_t i = 2; i + 2 < messages.size(); ++i) {
        EXPECT_EQ(messages[i].first, 6u);
        EXPECT_GT(messages[i].second, i > 2 ? messages[i - 1].second : 0);
    }
    EXPECT_FALSE(Player().FileData(c.storage, "/keep.mp3").has_value());
    EXPECT_EQ(Player().UsedUnits(c.storage), 0);
}

INSTANTIATE_TEST_SUITE_P(Kinds, FormatKinds,
                         ::testing::Values(FormatCase{"Format", 0, 0, 'F', 2}, FormatCase{"LowLevel", 0, 1, 'L', 3},
                                           FormatCase{"SecondStorage", 1, 0, 'F', 5},
                                           FormatCase{"SecondStorageLowLevel", 1, 1, 'L', 5}),
                         testsupport::CaseName());

TEST_F(FormatAndFont, FormatWithoutWindowStillRuns) {
    EXPECT_EQ(dll_fn_format_device(0, nullptr, 0x8123, 0), 0);
    EXPECT_TRUE(messages.empty());
}

TEST_F(FormatAndFont, FormatThatStopsReplyingFails) {
    dll_fn_SetTimeout(100, 100);
    Player().SetFormatPace(10, 0);
    Player().WithholdReplies(1000, false);
    EXPECT_EQ(dll_fn_format_device(0, window, 0x8123, 0), 3);
    EXPECT_EQ(messages.size(), 2u);
}

TEST_F(FormatAndFont, FormatRefusedGivesThree) {
    Player().RefuseNextCommand(0x05);
    EXPECT_EQ(dll_fn_format_device(0, window, 0x8123, 0), 3);
}

TEST_F(FormatAndFont, FontPayloadAndDataArriveWhole) {
    const auto font = Pattern(100000, 9);
    ASSERT_EQ(dll_fn_DownloadFont("FONT", static_cast<uint32_t>(font.size())), 0);
    for (size_t at = 0; at < font.size(); at += 32768) {
        const auto piece = static_cast<uint32_t>(std::min<size_t>(32768, font.size() - at));
        ASSERT_EQ(dll_fn_Write_file(font.data() + at, piece), 0);
    }
    EXPECT_EQ(dll_fn_Close_Writefile(), 0);
    const auto block = Commands().at(0);
    const uint32_t size = 100000;
    EXPECT_EQ(block, Block({0x23, 0, 12, 0x3A, 'U', 'W', 'F', 'O', 'N', 'T', 0, static_cast<int>(size >> 16 & 0xFF),
                            static_cast<int>(size >> 8 & 0xFF), static_cast<int>(size & 0xFF), 0x2E}));
    EXPECT_EQ(Player().FontName(), "FONT");
    EXPECT_EQ(Player().FontData(), font);
    // The last transfer is padded with zeros, not with earlier data.
    const auto writes = TransfersOn(0x02);
    const auto& tail = writes.back().bytes;
    const size_t used = (font.size() % 32768) % 512;
    EXPECT_TRUE(std::all_of(tail.end() - static_cast<long>(512 - used), tail.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(FormatAndFont, FontSizeOfTheShippedFont) {
    ASSERT_EQ(dll_fn_DownloadFont("FONT", 2093056), 0);
    dll_fn_Close_Writefile();
    const auto block = Commands().at(0);
    EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + 15),
              Bytes({0x23, 0, 12, 0x3A, 0x55, 0x57, 0x46, 0x4F, 0x4E, 0x54, 0x00, 0x1F, 0xF0, 0x00, 0x2E}));
}

TEST_F(FormatAndFont, FontNameTooLongIsRefusedBeforeSending) {
    EXPECT_EQ(dll_fn_DownloadFont(std::string(248, 'f').c_str(), 10), -1);
    EXPECT_EQ(dll_fn_DownloadFont(nullptr, 10), -1);
    EXPECT_TRUE(Player().GetTranscript().Entries().empty());
    EXPECT_EQ(dll_fn_DownloadFont(std::string(247, 'f').c_str(), 10), 0);
    EXPECT_EQ(Commands().at(0)[2], 255);
}

TEST_F(FormatAndFont, FontRefusedOrUnreachableIsMinusOne) {
    Player().RefuseNextCommand(0x27);
    EXPECT_EQ(dll_fn_DownloadFont("FONT", 10), -1);
    Player().Detach();
    EXPECT_EQ(dll_fn_DownloadFont("FONT", 10), -1);
}

} // namespace

// Formats with and without progress messages, and font downloads: what
// reaches the window and the player, and the time-outs before and after.
#include "platform/window/window_messages.h"
#include "tests/integration/plrapi/plrapi_session.h"
#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <utility>
#include <vector>

namespace {

using Message = std::pair<platform::WPARAM, platform::LPARAM>;
using TimeoutPair = std::pair<uint32_t, uint32_t>;

constexpr int ProgressMessage = 0x8123;
const TimeoutPair baseline{2000, 2000};   // what the fixture sets
const TimeoutPair longPair{3000000, 100000};
const TimeoutPair normalPair{300000, 100000};

class FormatAndFont : public testsupport::PlrapiSessionTest {
protected:
    void SetUp() override {
        PlrapiSessionTest::SetUp();
        window = platform::CreateMessageWindow([this](platform::HWND, platform::UINT message, platform::WPARAM wParam,
                                                      platform::LPARAM lParam) {
            EXPECT_EQ(message, static_cast<platform::UINT>(ProgressMessage));
            messages.emplace_back(wParam, lParam);
            return platform::LRESULT{0};
        });
    }
    void TearDown() override {
        platform::DestroyMessageWindow(window);
        PlrapiSessionTest::TearDown();
    }

    platform::HWND window = nullptr;
    std::vector<Message> messages;
};

struct FormatCase {
    const char* name;
    int overload;   // 1: storage only; 4: with window; 0: with a null window
    int storage;
    int mode;
    char code;                 // 'F' or 'L'
    platform::WPARAM second;   // the second message's wParam
    friend void PrintTo(const FormatCase& c, std::ostream* out) { *out << c.name; }
};

class Format : public FormatAndFont, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(Format, EmptiesTheStorageReportsProgressAndSetsTheTimeouts) {
    const auto& c = GetParam();
    ASSERT_TRUE(Player().PutFile(c.storage, "/keep.mp3", Pattern(5000)));
    Player().SetFormatPace(25, 0);
    Player().ClearTranscript();
    ASSERT_EQ(c.overload == 1 ? api->PlrFormat(c.storage)
                              : api->PlrFormat(c.storage, c.overload == 4 ? window : nullptr, ProgressMessage, c.mode),
              1);
    EXPECT_EQ(Commands(), std::vector<std::vector<uint8_t>>{
                              Block({0x23, 0, 5, 0x3A, c.storage ? 'S' : 'M', c.code, 'D', 0x2E})});
    EXPECT_FALSE(Player().FileData(c.storage, "/keep.mp3").has_value());
    const std::vector<Message> progress{{0, 0}, {c.second, 0}, {6, 26}, {6, 51}, {6, 76}, {6, '.' + 1}, {6, 100}};
    EXPECT_EQ(messages, c.overload == 4 ? progress : std::vector<Message>{});
    EXPECT_EQ(Timeouts(), c.overload == 1 ? baseline : longPair) << "during the format";
    EXPECT_EQ(TimeoutsNow(), c.overload == 1 ? baseline : normalPair) << "after it";
}

INSTANTIATE_TEST_SUITE_P(Kinds, Format,
                         ::testing::Values(FormatCase{"Plain", 1, 0, 0, 'F', 0}, FormatCase{"PlainCard", 1, 1, 0, 'F', 0},
                                           FormatCase{"Window", 4, 0, 0, 'F', 2},
                                           FormatCase{"WindowLowLevel", 4, 0, 1, 'L', 3},
                                           FormatCase{"WindowCard", 4, 1, 0, 'F', 5},
                                           FormatCase{"WindowCardLowLevel", 4, 1, 1, 'L', 5},
                                           FormatCase{"NullWindow", 0, 0, 0, 'F', 0}),
                         testsupport::CaseName());

TEST_F(FormatAndFont, FailedWindowFormatStillRestoresTheTimeouts) {
    Player().RefuseNextCommand(0x05);
    EXPECT_EQ(api->PlrFormat(0, window, ProgressMessage, 1), 0);
    EXPECT_EQ(api->PlrGetLastError(), 35);
    EXPECT_EQ(TimeoutsNow(), normalPair);
}

struct FontCase {
    const char* name;
    uint32_t size;
    std::vector<uint32_t> calls;   // bytes passed to each PlrWriteFontData
    size_t transfers;              // bulk writes of font data
    uint32_t lastTransfer;         // its size, padded
    friend void PrintTo(const FontCase& c, std::ostream* out) { *out << c.name; }
};

class Font : public FormatAndFont, public ::testing::WithParamInterface<FontCase> {};

TEST_P(Font, ArrivesWholeInPiecesOf32768UnderTheLongTimeouts) {
    const auto& c = GetParam();
    auto font = Pattern(c.size, 77);
    ASSERT_EQ(api->PlrDownloadFont("FONT", c.size), 1);
    const auto command = Commands().at(0);
    EXPECT_EQ(std::vector<uint8_t>(command.begin(), command.begin() + 15),
              Bytes({0x23, 0, 12, 0x3A, 'U', 'W', 'F', 'O', 'N', 'T', static_cast<int>(c.size >> 24),
                     static_cast<int>(c.size >> 16 & 0xFF), static_cast<int>(c.size >> 8 & 0xFF),
                     static_cast<int>(c.size & 0xFF), 0x2E}));
    EXPECT_EQ(Timeouts(), longPair) << "announcing the font";
    Player().ClearTranscript();
    uint32_t at = 0;
    for (const uint32_t length : c.calls) {
        ASSERT_EQ(api->PlrWriteFontData(font.data() + at, length), 1);
        at += length;
    }
    EXPECT_EQ(Timeouts(), (TimeoutPair{0, 100000})) << "sending its bytes";
    const auto data = TransfersOn(0x02);
    ASSERT_EQ(data.size(), c.transfers);
    EXPECT_TRUE(std::all_of(data.begin(), data.end() - 1, [](const auto& t) { return t.bytes.size() == 16384; }));
    EXPECT_EQ(data.back().bytes.size(), c.lastTransfer);
    ASSERT_EQ(api->PlrWriteFontClose(), 1);
    EXPECT_EQ(Player().FontName(), "FONT");
    EXPECT_EQ(Player().FontData(), font);
    EXPECT_EQ(TimeoutsNow(), normalPair);
}

// 70,000 bytes: two pieces of 32,768 and one of 4,464 (from offset 65,536).
INSTANTIATE_TEST_SUITE_P(Sizes, Font,
                         ::testing::Values(FontCase{"Bytes70000", 70000, {70000}, 5, 4608},
                                           FontCase{"Bytes2093088", 2093088, {1048576, 1044512}, 128, 12800}),
                         testsupport::CaseName());

} // namespace

// Creating, entering and removing folders by name, and the limits on names.
#include "platform/text/code_page.h"
#include "tests/integration/plrapi/plrapi_session.h"
#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;
using Blocks = std::vector<std::vector<uint8_t>>;

class FolderWalk : public testsupport::PlrapiSessionTest {
protected:
    std::vector<uint8_t> FolderCommand(char code, uint32_t folder) {
        return Block({0x23, 0, 7, 0x3A, 'M', 'D', code, static_cast<int>(folder >> 8), static_cast<int>(folder & 0xFF),
                      0x2E});
    }
    const std::vector<uint8_t> listing = Block({0x23, 0, 5, 0x3A, 'M', 'G', 'G', 0x2E});
};

TEST_F(FolderWalk, DownByNameAndPathUpByDotDotHomeAndRemove) {
    ASSERT_EQ(api->PlrCreateDirectory(0, "C:\\Temp\\Music", 0), 1);
    const auto commands = Commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(std::vector<uint8_t>(commands[0].begin(), commands[0].begin() + 10),
              Bytes({0x23, 0, 0x47, 0x3A, 'M', 'D', 'M', 0x00, 0x40, 0x41}));
    EXPECT_EQ(commands[1], listing) << "the cache follows";
    EXPECT_EQ(CachedNames(), Names{"Music"});
    ASSERT_TRUE(Player().MakeFolder(0, "/Music/Live.2004"));
    ASSERT_TRUE(Player().PutFile(0, "/Music/Live.2004/Track.mp3", Pattern(10)));
    const uint32_t music = Player().FolderNumber(0, "/Music");
    const uint32_t live = Player().FolderNumber(0, "/Music/Live.2004");

    struct Step {
        const char* name;
        uint32_t folder;
        const char* path;
        Names cached;
    };
    const Step steps[] = {
        {"Music", music, "Music", {".", "..", "Live.2004"}},
        {"\\Music\\Live.2004", live, "Music\\Live.2004", {".", "..", "Track.mp3"}},
        {"..", music, "Music", {".", "..", "Live.2004"}},
        {"..", 0, "", {"Music"}},
        {"C:/Music", music, "Music", {".", "..", "Live.2004"}},
        {"", 0, "", {"Music"}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        Player().ClearTranscript();
        ASSERT_EQ(api->PlrSetCurrentDirectory(0, step.name), 1);
        EXPECT_EQ(Commands(), (Blocks{FolderCommand('C', step.folder), listing}));
        EXPECT_EQ(Player().CurrentFolder(0), step.folder);
        EXPECT_EQ(CachedNames(), step.cached);
        char path[64];
        ASSERT_EQ(api->PlrGetCurrentDirectory(0, path, sizeof path), 1);
        EXPECT_STREQ(path, step.path);
    }

    ASSERT_TRUE(Player().MakeFolder(0, "/Empty one"));
    ASSERT_EQ(List(), 1);
    const uint32_t empty = Player().FolderNumber(0, "/Empty one");
    Player().ClearTranscript();
    EXPECT_EQ(api->PlrRemoveDirectory(0, "Music"), 0) << "the player keeps a folder that is not empty";
    ASSERT_EQ(api->PlrRemoveDirectory(0, "Empty one"), 1);
    EXPECT_EQ(Commands(), (Blocks{FolderCommand('R', music), FolderCommand('R', empty), listing}));
    EXPECT_EQ(StoredNames(), Names{"Music"});
    EXPECT_EQ(CachedNames(), Names{"Music"});
}

// Names at and past the limits: accepted ones reach the player and come back
// whole in the listing; refused ones send nothing and leave the last error.
struct NameCase {
    const char* name;
    std::string argument;
    bool accepted;
    std::string enter;   // empty: create `argument`; else enter this folder (UTF-8) by `argument`
    const char* codePage = "UTF-8";
    long error = 14;   // the last error afterwards: 14 is the one made before
    friend void PrintTo(const NameCase& c, std::ostream* out) { *out << c.name; }
};

class FolderNames : public FolderWalk, public ::testing::WithParamInterface<NameCase> {
protected:
    void SetUp() override {
        platform::SetCodePage(GetParam().codePage);
        FolderWalk::SetUp();
    }
    void TearDown() override {
        FolderWalk::TearDown();
        platform::SetCodePage("");
    }
};

TEST_P(FolderNames, FitOrAreRefusedBeforeSending) {
    const auto& c = GetParam();
    ASSERT_TRUE(Player().MakeFolder(0, "/Folder"));
    if (!c.enter.empty() && c.enter != "Folder") {
        ASSERT_TRUE(Player().MakeFolder(0, "/" + c.enter));
    }
    ASSERT_EQ(List(), 1);
    MakeLastError(14);
    Player().ClearTranscript();
    const long result = c.enter.empty() ? api->PlrCreateDirectory(0, c.argument.c_str(), 0)
                                        : api->PlrSetCurrentDirectory(0, c.argument.c_str());
    EXPECT_EQ(result, c.accepted ? 1 : 0);
    EXPECT_EQ(api->PlrGetLastError(), c.error);
    if (!c.accepted) {
        EXPECT_TRUE(NothingSent());
    } else if (c.enter.empty()) {
        const std::string last = c.argument.substr(c.argument.find_last_of("\\/") + 1);
        EXPECT_EQ(StoredNames(), (Names{"Folder", last}));
        EXPECT_EQ(CachedNames(), (Names{"Folder", last})) << "the listing shows it whole";
    } else {
        EXPECT_EQ(Player().CurrentFolder(0), Player().FolderNumber(0, "/" + c.enter));
    }
}

std::string Repeat(const std::string& text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) {
        result += text;
    }
    return result;
}

const std::string twoBytes = "\xC3\xA9";   // e acute in UTF-8

INSTANTIATE_TEST_SUITE_P(
    Limits, FolderNames,
    ::testing::Values(NameCase{"Create182Characters", "C:\\Temp\\" + std::string(182, 'a'), true, ""},
                      NameCase{"Create183Characters", "C:\\Temp\\" + std::string(183, 'a'), false, ""},
                      NameCase{"Create194Bytes", "Temp/" + Repeat(twoBytes, 97), true, ""},
                      NameCase{"Create196Bytes", "Temp/" + Repeat(twoBytes, 98), false, ""},
                      NameCase{"CreatePathOf259Bytes", std::string(255, 'p') + "\\New", true, ""},
                      NameCase{"CreatePathOf260Bytes", std::string(256, 'p') + "\\New", false, ""},
                      NameCase{"EnterPathOf259Bytes", std::string(252, 'p') + "\\Folder", true, "Folder"},
                      NameCase{"EnterPathOf260Bytes", std::string(253, 'p') + "\\Folder", false, "Folder"},
                      // The second byte of this character is the code of '\'.
                      NameCase{"EnterDoubleByteName", "Music\\\x95\x5C", true, "\xE8\xA1\xA8", "cp932"},
                      // U+5929 U+7A7A: its 8.3 name starts with the byte 0xE5.
                      NameCase{"CreateNameStartingWithE5", "\xE5\xA4\xA9\xE7\xA9\xBA", true, ""},
                      NameCase{"CreateWithUnstorableCharacter", "Temp\\a*b", false, "", "UTF-8", 18},
                      NameCase{"CreateWithControlCharacter", "a\tb", false, "", "UTF-8", 18}),
    testsupport::CaseName());

} // namespace

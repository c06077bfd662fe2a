// The cached listing PlrGetStorageInfo builds from what the player lists.
#include "tests/integration/plrapi/plrapi_session.h"
#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct EntryCase {
    const char* name;
    const char* path;   // on the player; folders end in '/'
    const char* shownName;
    const char* shownExtension;   // a folder's is its 8.3 extension
    friend void PrintTo(const EntryCase& c, std::ostream* out) { *out << c.name; }
};

// The longest name the listing's name field holds: 194 bytes.
const std::string longestName(190, 'n');
const std::string longestPath = "/" + longestName + ".mp3";

class CachedEntry : public testsupport::PlrapiSessionTest, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(CachedEntry, SplitsFilesKeepsFoldersAndStaysInItsRow) {
    const auto& c = GetParam();
    std::string path = c.path;
    const bool folder = path.back() == '/';
    if (folder) {
        path.pop_back();
        ASSERT_TRUE(Player().MakeFolder(0, path));
    } else {
        ASSERT_TRUE(Player().PutFile(0, path, Pattern(1234)));
    }
    ASSERT_TRUE(Player().PutFile(0, "/Next one.txt", Pattern(7)));

    ASSERT_EQ(List(), 1);
    EXPECT_EQ(Commands(), std::vector<std::vector<uint8_t>>{Block({0x23, 0, 5, 0x3A, 'M', 'G', 'G', 0x2E})});
    EXPECT_EQ(api->PlrGetFileCount(0), 2);
    EXPECT_EQ(api->PlrGetFolderCount(), folder ? 1 : 0);
    const Entry entry = Cached(0);
    EXPECT_EQ(entry.name, c.shownName);
    EXPECT_EQ(entry.extension, c.shownExtension);
    EXPECT_EQ(entry.attribute, folder ? 0x10u : 0x20u);
    EXPECT_EQ(entry.size, folder ? 0u : 1234u);
    const Entry next = Cached(1);
    EXPECT_EQ(next.name, "Next one");
    EXPECT_EQ(next.extension, "txt");
    EXPECT_EQ(next.size, 7u);
    CStorageInfo figures;
    EXPECT_EQ(figures.GetPDTotalSpace(), 4096u * 16384);
    EXPECT_EQ(figures.GetPDFreeSpace(), (folder ? 4095u : 4094u) * 16384);
    EXPECT_EQ(figures.GetMultiBlockSize(), 32768u);
    EXPECT_EQ(figures.GetAttribMask(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Names, CachedEntry,
    ::testing::Values(EntryCase{"LongNameWithDots", "/Song.Title.mp3", "Song.Title", "mp3"},
                      EntryCase{"LowerCaseName", "/song.mp3", "song", "mp3"},
                      EntryCase{"LongNameWithoutDot", "/Read me", "Read me", ""},
                      EntryCase{"LongExtension", "/notes.markdown", "notes", "markdown"},
                      EntryCase{"ExtensionBeyondItsSpace", "/x.abcdefghijklmnopqrstuvwxyz0123", "x",
                                "abcdefghijklmnopqrstu"},
                      EntryCase{"NameOfTheWholeField", longestPath.c_str(), longestName.c_str(), "mp3"},
                      EntryCase{"ShortNameOnly", "/SONG.MP3", "SONG", "MP3"},
                      EntryCase{"ShortNameWithoutExtension", "/README", "README", ""},
                      EntryCase{"FolderWithDot", "/My.Dir/", "My.Dir", "DIR"},
                      EntryCase{"ShortFolder", "/MUSIC/", "MUSIC", ""}),
    testsupport::CaseName());

class Cache : public testsupport::PlrapiSessionTest {};

TEST_F(Cache, HoldsTheFirst256OfALongerListing) {
    std::vector<std::string> expected;
    for (int i = 0; i < 300; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "F%03d.MP3", i);
        ASSERT_TRUE(Player().PutFile(0, std::string("/") + name, {static_cast<uint8_t>(i)}));
        if (i < 256) {
            expected.emplace_back(name);
        }
    }
    EXPECT_EQ(List(), 0);
    EXPECT_EQ(api->PlrGetLastError(), 12);
    ASSERT_EQ(api->PlrGetFileCount(0), 256);
    EXPECT_EQ(CachedNames(), expected);

    Player().ClearTranscript();
    EXPECT_EQ(api->PlrGetFIleInfo(0, 256, nullptr), 0);
    EXPECT_EQ(api->PlrGetLastError(), 13);
    EXPECT_EQ(Current().name, "F255") << "the current record stays";
    EXPECT_EQ(api->PlrDeleteByindex(0, 256), 0);
    EXPECT_EQ(api->PlrSortByIndex(299, 0), 0);
    EXPECT_EQ(api->PlrGetLastError(), 13);
    EXPECT_EQ(api->PlrCreateDirectory(0, "New", 0), 0);
    EXPECT_EQ(api->PlrGetLastError(), 12) << "the cache is full";
    EXPECT_TRUE(NothingSent());

    // A refresh that fails leaves the cache as it was.
    Player().RefuseNextCommand(0x05);
    EXPECT_EQ(List(), 0);
    EXPECT_EQ(api->PlrGetLastError(), 10);
    EXPECT_EQ(api->PlrGetFileCount(0), 256);
    EXPECT_EQ(Cached(7).name, "F007");
}

TEST_F(Cache, HoldsOnlyTheEntriesThatCameWhenTheHeaderClaimsMore) {
    std::vector<uint8_t> header(512, 0);
    header[6] = 300 >> 8;                 // files claimed
    header[7] = 300 & 0xFF;
    header[9] = 5;                        // entries that follow
    header[11] = 100;                     // capacity units
    std::vector<uint8_t> entries;
    std::vector<std::string> expected;
    for (char c = 'A'; c < 'A' + 5; ++c) {
        std::vector<uint8_t> entry(32, 0);
        const std::string name = std::string(1, c) + "       TXT";
        std::copy(name.begin(), name.end(), entry.begin());
        entry[11] = 0x20;
        entries.insert(entries.end(), entry.begin(), entry.end());
        expected.push_back(std::string(1, c) + ".TXT");
    }
    Player().OverrideNextListing(header, entries);
    EXPECT_EQ(List(), 0) << "the header's count is more than the cache holds";
    EXPECT_EQ(api->PlrGetFileCount(0), 5);
    EXPECT_EQ(CachedNames(), expected);
    EXPECT_EQ(api->PlrGetFIleInfo(0, 5, nullptr), 0) << "no blank row behind them";
    EXPECT_EQ(api->PlrGetLastError(), 13);
}

TEST_F(Cache, AttributeComesBackSignExtended) {
    // One 8.3 entry with attribute 0xA1, as a player could list it.
    std::vector<uint8_t> header(512, 0);
    header[7] = 1;                        // files
    header[9] = 1;                        // entries
    header[11] = 100;                     // capacity units
    std::vector<uint8_t> entry(32, 0);
    const char name[] = "ODD     BIN";
    std::copy(name, name + 11, entry.begin());
    entry[11] = 0xA1;
    entry[28] = 7;
    Player().OverrideNextListing(header, entry);
    ASSERT_EQ(List(), 1);
    const Entry odd = Cached(0);
    EXPECT_EQ(odd.name, "ODD");
    EXPECT_EQ(odd.extension, "BIN");
    EXPECT_EQ(odd.attribute, 0xFFFFFFA1u);
    EXPECT_EQ(odd.size, 7u);
}

} // namespace

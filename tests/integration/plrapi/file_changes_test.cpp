// Deleting and reordering files, with folders before and after the files.
#include "tests/integration/plrapi/plrapi_session.h"
#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Names = std::vector<std::string>;
using Blocks = std::vector<std::vector<uint8_t>>;

// The listings a player sends: folders first; a folder made after the files;
// a first folder whose attribute has the archive bit too (0x30), which the
// play order counts as a file.
enum class Layout { FoldersFirst, FolderAfterFiles, ArchivedFolderFirst };

const Names foldersFirst{"Folder A", "Folder B", "First.mp3", "Second.mp3", "Third.mp3"};
const Names folderAfterFiles{"First.mp3", "Second.mp3", "Third.mp3", "Folder A"};

const Names& Listed(Layout layout) { return layout == Layout::FolderAfterFiles ? folderAfterFiles : foldersFirst; }

struct ChangeCase {
    const char* name;
    Layout layout;
    bool sort;      // else delete file position `from`
    int from;
    int to;
    long result;
    Blocks commands;
    Names stored;   // the top folder afterwards
    friend void PrintTo(const ChangeCase& c, std::ostream* out) { *out << c.name; }
};

std::vector<uint8_t> Block(std::initializer_list<int> leading) {
    std::vector<uint8_t> bytes(leading.begin(), leading.end());
    bytes.resize(512, 0);
    return bytes;
}
std::vector<uint8_t> Delete(int position) { return Block({0x23, 0, 6, 0x3A, 'M', 'E', 0, position, 0x2E}); }
std::vector<uint8_t> Swap(int first, int second) {
    return Block({0x23, 0, 8, 0x3A, 'M', 'P', 0, first, 0, second, 0x2E});
}

class Change : public testsupport::PlrapiSessionTest, public ::testing::WithParamInterface<ChangeCase> {
protected:
    void SetUp() override {
        PlrapiSessionTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        for (const auto& name : Listed(GetParam().layout)) {
            ASSERT_TRUE(name.starts_with("Folder") ? Player().MakeFolder(0, "/" + name)
                                                   : Player().PutFile(0, "/" + name, Pattern(100)));
        }
        if (GetParam().layout == Layout::ArchivedFolderFirst) {
            const auto entries = WithArchivedFirstFolder(Player().RawDirectory(0, 0));
            Player().OverrideNextListing(ListingHeader(4, entries.size() / 32), entries);
        }
        ASSERT_EQ(List(), 1);
        ASSERT_EQ(CachedNames(), Listed(GetParam().layout));
        Player().ClearTranscript();
    }

    // A listing header counting `files` files in `slots` entries, of a storage with room.
    static std::vector<uint8_t> ListingHeader(uint16_t files, size_t slots) {
        std::vector<uint8_t> header(512, 0);
        const uint16_t units = 4096;
        for (const auto& [at, value] : {std::pair<int, size_t>{6, files}, {8, slots}, {10, units}, {12, 4}}) {
            header[static_cast<size_t>(at)] = static_cast<uint8_t>(value >> 8);
            header[static_cast<size_t>(at) + 1] = static_cast<uint8_t>(value);
        }
        return header;
    }

    // The top folder's entries with the archive bit added to the first folder's.
    static std::vector<uint8_t> WithArchivedFirstFolder(std::vector<uint8_t> entries) {
        for (size_t at = 0; at + 32 <= entries.size(); at += 32) {
            if (entries[at + 11] == 0x10) {
                entries[at + 11] = 0x30;
                break;
            }
        }
        return entries;
    }
};

// A delete edits the cache in place; a move leaves it stale until listed.
TEST_P(Change, ReachesThePlayerAsTheCacheExpects) {
    const auto& c = GetParam();
    EXPECT_EQ(c.sort ? api->PlrSortByIndex(c.from, c.to) : api->PlrDeleteByindex(0, c.from), c.result);
    EXPECT_EQ(Commands(), c.commands);
    EXPECT_EQ(StoredNames(), c.stored);
    EXPECT_EQ(CachedNames(), c.sort ? Listed(c.layout) : c.stored);
    ASSERT_EQ(List(), 1);
    EXPECT_EQ(CachedNames(), c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    FilePositions, Change,
    ::testing::Values(
        ChangeCase{"DeleteFirstFile", Layout::FoldersFirst, false, 0, 0, 1, {Delete(0)},
                   {"Folder A", "Folder B", "Second.mp3", "Third.mp3"}},
        ChangeCase{"DeleteLastFile", Layout::FoldersFirst, false, 2, 0, 1, {Delete(2)},
                   {"Folder A", "Folder B", "First.mp3", "Second.mp3"}},
        ChangeCase{"MoveLastFileFirst", Layout::FoldersFirst, true, 4, 2, 1, {Swap(2, 1), Swap(1, 0)},
                   {"Folder A", "Folder B", "Third.mp3", "First.mp3", "Second.mp3"}},
        ChangeCase{"MoveFirstFileLast", Layout::FoldersFirst, true, 2, 4, 1, {Swap(0, 1), Swap(1, 2)},
                   {"Folder A", "Folder B", "Second.mp3", "Third.mp3", "First.mp3"}},
        ChangeCase{"MoveOntoAFolderRow", Layout::FoldersFirst, true, 3, 0, 1, {Swap(1, 0)},
                   {"Folder A", "Folder B", "Second.mp3", "First.mp3", "Third.mp3"}},
        ChangeCase{"MoveInPlace", Layout::FoldersFirst, true, 2, 2, 1, {}, foldersFirst},
        ChangeCase{"MoveAFolderRow", Layout::FoldersFirst, true, 1, 3, 0, {}, foldersFirst},
        ChangeCase{"FolderAfterMoveLastFileUp", Layout::FolderAfterFiles, true, 2, 1, 1, {Swap(2, 1)},
                   {"First.mp3", "Third.mp3", "Second.mp3", "Folder A"}},
        ChangeCase{"FolderAfterMoveFirstFileLast", Layout::FolderAfterFiles, true, 0, 2, 1, {Swap(0, 1), Swap(1, 2)},
                   {"Second.mp3", "Third.mp3", "First.mp3", "Folder A"}},
        ChangeCase{"FolderAfterMoveOntoTheFolderRow", Layout::FolderAfterFiles, true, 0, 3, 1,
                   {Swap(0, 1), Swap(1, 2)}, {"Second.mp3", "Third.mp3", "First.mp3", "Folder A"}},
        ChangeCase{"FolderAfterMoveTheFolderRow", Layout::FolderAfterFiles, true, 3, 0, 0, {}, folderAfterFiles},
        ChangeCase{"ArchivedFolderCountsAsAFile", Layout::ArchivedFolderFirst, true, 4, 2, 1,
                   {Swap(3, 2), Swap(2, 1)}, {"Folder A", "Folder B", "First.mp3", "Third.mp3", "Second.mp3"}}),
    testsupport::CaseName());

} // namespace

// Deleting and reordering files in a listing whose folders come first.
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

// Folders in rows 0 and 1, files in rows 2 to 4.
const Names listed{"Folder A", "Folder B", "First.mp3", "Second.mp3", "Third.mp3"};

class FoldersThenFiles : public testsupport::PlrapiSessionTest {
protected:
    void SetUp() override {
        PlrapiSessionTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        for (const auto& name : listed) {
            ASSERT_TRUE(name.starts_with("Folder") ? Player().MakeFolder(0, "/" + name)
                                                   : Player().PutFile(0, "/" + name, Pattern(100)));
        }
        ASSERT_EQ(List(), 1);
        ASSERT_EQ(CachedNames(), listed);
        Player().ClearTranscript();
    }
};

struct ChangeCase {
    const char* name;
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

class Change : public FoldersThenFiles, public ::testing::WithParamInterface<ChangeCase> {};

// A delete edits the cache in place; a move leaves it stale until listed.
TEST_P(Change, ReachesThePlayerAsTheCacheExpects) {
    const auto& c = GetParam();
    EXPECT_EQ(c.sort ? api->PlrSortByIndex(c.from, c.to) : api->PlrDeleteByindex(0, c.from), c.result);
    EXPECT_EQ(Commands(), c.commands);
    EXPECT_EQ(StoredNames(), c.stored);
    EXPECT_EQ(CachedNames(), c.sort ? listed : c.stored);
    EXPECT_EQ(api->PlrGetFolderCount(), 2);
    ASSERT_EQ(List(), 1);
    EXPECT_EQ(CachedNames(), c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    FilePositions, Change,
    ::testing::Values(
        ChangeCase{"DeleteFirstFile", false, 0, 0, 1, {Delete(0)}, {"Folder A", "Folder B", "Second.mp3", "Third.mp3"}},
        ChangeCase{"DeleteLastFile", false, 2, 0, 1, {Delete(2)}, {"Folder A", "Folder B", "First.mp3", "Second.mp3"}},
        ChangeCase{"MoveLastFileFirst", true, 4, 2, 1, {Swap(2, 1), Swap(1, 0)},
                   {"Folder A", "Folder B", "Third.mp3", "First.mp3", "Second.mp3"}},
        ChangeCase{"MoveFirstFileLast", true, 2, 4, 1, {Swap(0, 1), Swap(1, 2)},
                   {"Folder A", "Folder B", "Second.mp3", "Third.mp3", "First.mp3"}},
        ChangeCase{"MoveOntoAFolderRow", true, 3, 0, 1, {Swap(1, 0)},
                   {"Folder A", "Folder B", "Second.mp3", "First.mp3", "Third.mp3"}},
        ChangeCase{"MoveInPlace", true, 2, 2, 1, {}, listed},
        ChangeCase{"MoveAFolderRow", true, 1, 3, 0, {}, listed}),
    testsupport::CaseName());

} // namespace

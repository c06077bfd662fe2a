// Delete, reorder and the folder exports against the simulated player.
#include "tests/support/case_name.h"
#include "tests/support/portio_session.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class Folders : public testsupport::PortioSessionTest {
protected:
    std::string CurrentPath(int size = 256) {
        std::vector<char> text(static_cast<size_t>(size) + 8, '\x7E');
        EXPECT_EQ(dll_fn_GetCurrentDirectory(0, text.data(), size), 0);
        for (size_t i = static_cast<size_t>(size); i < text.size(); ++i) {
            EXPECT_EQ(text[i], '\x7E') << "written past the buffer at " << i;
        }
        return text.data();
    }
};

TEST_F(Folders, CreateMusicSendsOneLongEntryAndAFolderEntry) {
    ASSERT_EQ(dll_fn_CreateDirectory(0, "C:\\Temp\\Music"), 0);
    const auto block = Commands().at(0);
    EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + 10),
              Bytes({0x23, 0, 0x47, 0x3A, 'M', 'D', 'M', 0x00, 0x40, 0x41}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&block[9 + 32]), 11), "MUSIC      ");
    EXPECT_EQ(block[9 + 32 + 11], 0x10);
    EXPECT_EQ(block[9 + 64], '.');
    const auto items = Player().ListFolder(0, "/");
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items.back().longName, u"Music");
    EXPECT_EQ(items.back().attribute, 0x10);
}

TEST_F(Folders, WalkDownAndUpAndReadThePath) {
    ASSERT_EQ(dll_fn_CreateDirectory(0, "Live recordings"), 0);
    const uint32_t live = Player().FolderNumber(0, "/Live recordings");
    ASSERT_NE(live, 0u);
    ASSERT_EQ(dll_fn_SetCurrentDirectory(0, static_cast<int>(live)), 0);
    EXPECT_EQ(Player().CurrentFolder(0), live);
    ASSERT_TRUE(Player().MakeFolder(0, "/Live recordings/DISC1"));
    const uint32_t disc = Player().FolderNumber(0, "/Live recordings/DISC1");
    ASSERT_EQ(dll_fn_SetCurrentDirectory(0, static_cast<int>(disc)), 0);
    EXPECT_EQ(CurrentPath(), "Live recordings\\DISC1");
    EXPECT_EQ(CurrentPath(8), "Live re") << "cut to the buffer, terminated";
    ASSERT_EQ(dll_fn_SetCurrentDirectory(0, 0), 0);
    EXPECT_EQ(CurrentPath(), "");
}

TEST_F(Folders, DeepPathSpansContinuationBlocks) {
    std::string path;
    std::string expected;
    for (int depth = 0; depth < 8; ++depth) {
        const std::string name = "Folder with a long name " + std::to_string(depth);
        path += "/" + name;
        expected += (depth ? "\\" : "") + name;
        ASSERT_TRUE(Player().MakeFolder(0, path));
    }
    ASSERT_EQ(dll_fn_SetCurrentDirectory(0, static_cast<int>(Player().FolderNumber(0, path))), 0);
    EXPECT_EQ(CurrentPath(1024), expected);
    EXPECT_EQ(CurrentPath(1), "");
}

TEST_F(Folders, RemoveRefusesAFolderWithFiles) {
    ASSERT_TRUE(Player().MakeFolder(0, "/Full"));
    ASSERT_TRUE(Player().PutFile(0, "/Full/a.mp3", {1, 2, 3}));
    ASSERT_TRUE(Player().MakeFolder(0, "/Empty"));
    EXPECT_EQ(dll_fn_RemoveDirectory(0, static_cast<int>(Player().FolderNumber(0, "/Full"))), -1);
    EXPECT_EQ(dll_fn_RemoveDirectory(0, static_cast<int>(Player().FolderNumber(0, "/Empty"))), 0);
    EXPECT_EQ(dll_fn_SetCurrentDirectory(0, 0x7777), -1) << "unknown folder number";
    const auto block = Commands().at(0);
    EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + 7), Bytes({0x23, 0, 7, 0x3A, 'M', 'D', 'R'}));
}

TEST_F(Folders, OldFirmwareSendsNothing) {
    kvx512sim::Identification old;
    old.version = "1.42";
    Player().SetIdentification(old);
    char version[42];
    ASSERT_EQ(dll_fn_get_player_version(version), 0);
    Player().ClearTranscript();
    char text[16] = "unchanged";
    EXPECT_EQ(dll_fn_CreateDirectory(0, "Music"), 0);
    EXPECT_EQ(dll_fn_SetCurrentDirectory(0, 5), 0);
    EXPECT_EQ(dll_fn_RemoveDirectory(0, 5), 0);
    EXPECT_EQ(dll_fn_GetCurrentDirectory(0, text, sizeof text), 0);
    EXPECT_STREQ(text, "");
    EXPECT_TRUE(Player().GetTranscript().Entries().empty());
}

TEST_F(Folders, BadArgumentsAndUnusableNamesTouchNothing) {
    char text[4];
    EXPECT_EQ(dll_fn_GetCurrentDirectory(0, text, 0), -1);
    EXPECT_EQ(dll_fn_GetCurrentDirectory(0, nullptr, 10), -1);
    EXPECT_EQ(dll_fn_CreateDirectory(0, ".abc"), -1);
    EXPECT_EQ(dll_fn_CreateDirectory(0, std::string(200, 'f').c_str()), -1);
    EXPECT_EQ(dll_fn_CreateDirectory(0, nullptr), -1);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(Folders, DeleteAndSwapByFilePosition) {
    for (const char* name : {"/one.mp3", "/two.mp3", "/three.mp3"}) {
        ASSERT_TRUE(Player().PutFile(0, name, {static_cast<uint8_t>(name[1])}));
    }
    ASSERT_EQ(dll_fn_Replace_file(0, 2, 0), 0);
    auto names = [&] {
        std::vector<std::u16string> found;
        for (const auto& item : Player().ListFolder(0, "/")) {
            found.push_back(item.longName);
        }
        return found;
    };
    EXPECT_EQ(names(), (std::vector<std::u16string>{u"three.mp3", u"two.mp3", u"one.mp3"}));
    ASSERT_EQ(dll_fn_delete_file(1, 0), 0);
    EXPECT_EQ(names(), (std::vector<std::u16string>{u"three.mp3", u"one.mp3"}));
    EXPECT_EQ(dll_fn_delete_file(9, 0), 3) << "position out of range";
    const auto commands = Commands();
    EXPECT_EQ(commands.at(0), Block({0x23, 0, 8, 0x3A, 'M', 'P', 0, 0, 0, 2, 0x2E}));
    EXPECT_EQ(commands.at(1), Block({0x23, 0, 6, 0x3A, 'M', 'E', 0, 1, 0x2E}));
    // The deleted entry stays in the image, marked.
    const auto raw = Player().RawDirectory(0, 0);
    bool marked = false;
    for (size_t at = 0; at + 32 <= raw.size(); at += 32) {
        marked = marked || raw[at] == 0xE5;
    }
    EXPECT_TRUE(marked);
}

TEST_F(Folders, DeleteOnSecondStorageUsesLetterS) {
    ASSERT_TRUE(Player().PutFile(1, "/x.mp3", {1}));
    ASSERT_EQ(dll_fn_delete_file(0, 1), 0);
    EXPECT_EQ(Commands().at(0), Block({0x23, 0, 6, 0x3A, 'S', 'E', 0, 0, 0x2E}));
}

} // namespace

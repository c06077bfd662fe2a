#include "tests/unit/sim/wire_host.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

using namespace simtest;

class StateFile : public ::testing::Test {
protected:
    void TearDown() override { std::remove(path.c_str()); }
    std::string path = "/tmp/sim_state_test_" + std::to_string(::getpid()) + ".bin";
};

TEST_F(StateFile, RestoresStoragesFoldersFilesAndFont) {
    kvx512sim::Player saved;
    ASSERT_TRUE(saved.MakeFolder(0, "/Music"));
    ASSERT_TRUE(saved.PutFile(0, "/Music/Song one.mp3", Pattern(20000), 1));
    ASSERT_TRUE(saved.PutFile(1, "/B.BIN", Pattern(3)));
    saved.SetCapacityUnits(1, 77);
    WireHost host(saved);
    host.Send(CommandBlock("ME", Number16(0)));   // nothing to delete at the top: refused
    host.Send(CommandBlock("UW", Join({Bytes{'F'}, Bytes{0, 0, 0, 1}})));
    while (host.Read()) {
    }
    host.SendData({9});
    ASSERT_TRUE(saved.SaveState(path));

    kvx512sim::Player loaded;
    ASSERT_TRUE(loaded.LoadState(path));
    const uint32_t music = saved.FolderNumber(0, "/Music");
    EXPECT_EQ(loaded.FolderNumber(0, "/Music"), music);
    EXPECT_EQ(loaded.RawDirectory(0, 0), saved.RawDirectory(0, 0));
    EXPECT_EQ(loaded.RawDirectory(0, music), saved.RawDirectory(0, music));
    EXPECT_EQ(loaded.FileData(0, "/Music/Song one.mp3"), Pattern(20000));
    EXPECT_EQ(loaded.FileData(1, "/B.BIN"), Pattern(3));
    EXPECT_EQ(loaded.UsedUnits(0), 2);
    EXPECT_EQ(loaded.FontName(), "F");
    EXPECT_EQ(loaded.FontData(), Bytes{9});
    WireHost loadedHost(loaded);
    loadedHost.Send(CommandBlock("SGG"));
    EXPECT_EQ(Be16(loadedHost.Reply(), 10), 77);
}

TEST_F(StateFile, IsNotWrittenThroughALinkPlantedBesideIt) {
    const std::string victim = path + ".victim";
    std::ofstream(victim) << "keep";
    ASSERT_EQ(::symlink(victim.c_str(), (path + ".new").c_str()), 0);
    kvx512sim::Player player;
    ASSERT_TRUE(player.PutFile(0, "/A.BIN", Pattern(5)));
    EXPECT_TRUE(player.SaveState(path));
    std::ifstream in(victim);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "keep");
    kvx512sim::Player loaded;
    EXPECT_TRUE(loaded.LoadState(path));
    EXPECT_EQ(loaded.FileData(0, "/A.BIN"), Pattern(5));
    std::remove((path + ".new").c_str());
    std::remove(victim.c_str());
}

TEST_F(StateFile, RefusesTruncatedAndForeignFiles) {
    kvx512sim::Player player;
    ASSERT_TRUE(player.PutFile(0, "/A.BIN", Pattern(5000)));
    ASSERT_TRUE(player.SaveState(path));
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    in.close();

    kvx512sim::Player other;
    for (const std::string& broken : {bytes.substr(0, bytes.size() - 1), "not a state" + bytes, bytes + "x"}) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << broken;
        EXPECT_FALSE(other.LoadState(path));
        EXPECT_TRUE(other.RawDirectory(0, 0).empty());
    }
    EXPECT_FALSE(other.LoadState(path + ".missing"));
    EXPECT_FALSE(other.LoadState("/tmp"));   // a folder: refused, not thrown
}

} // namespace

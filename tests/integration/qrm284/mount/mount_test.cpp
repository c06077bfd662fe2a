// qrm284 mount in this process over the simulated player, driven by the
// tools people use on it (cp, cat, dd, mv, rsync, mkdir, rm, df, getfattr):
// what the player stored, what crossed the wire, and what the tools saw.
#include "sim/bus.h"
#include "tests/support/case_name.h"
#include "tests/support/command_output.h"
#include "tests/support/mount_table.h"
#include "tests/support/stepped_bytes.h"
#include "tests/support/transcript_checks.h"
#include "tools/qrm284/commands.h"
#include "tools/qrm284/mount/mount_command.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testsupport::Mounted;
using testsupport::ReadFile;
using testsupport::SteppedBytes;
using testsupport::WriteFile;

constexpr size_t TrailerBytes = 2080;

bool OnPath(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

class MountTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (access("/dev/fuse", R_OK | W_OK) != 0 || !OnPath("fusermount3")) {
            GTEST_SKIP() << "FUSE is not usable here: /dev/fuse or fusermount3 is missing";
        }
        kvx512sim::Bus::Instance().Reset();
        kvx512sim::Bus::Instance().RecordTranscripts(true);
        root_ = fs::path(::testing::TempDir()) / ("qrm284-mount-" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "mnt");
        fs::create_directories(root_ / "local");
        mnt_ = (root_ / "mnt").string();
    }

    void TearDown() override {
        if (runner_.joinable()) {
            if (Mounted(mnt_)) {
                Shell("fusermount3 -u -z " + mnt_);
            }
            runner_.join();
        }
        if (!root_.empty()) {
            fs::remove_all(root_);
        }
    }

    void Mount() {
        qrm284::mount::MountOptions options;
        options.folder = mnt_;
        options.foreground = true;
        options.cacheFolder = (root_ / "cache").string();
        options.listingPeriod = std::chrono::seconds(60);
        auto ready = std::make_shared<std::promise<void>>();
        std::future<void> mounted = ready->get_future();
        ended_ = status_.get_future().share();
        runner_ = std::thread([this, options, ready] {
            status_.set_value(qrm284::mount::RunMount(options, [ready] { ready->set_value(); }));
        });
        for (int i = 0; i < 2000 && mounted.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready; ++i) {
            ASSERT_NE(ended_.wait_for(std::chrono::seconds(0)), std::future_status::ready)
                << "qrm284 mount ended with status " << ended_.get() << " before it mounted";
        }
        ASSERT_EQ(mounted.wait_for(std::chrono::seconds(0)), std::future_status::ready) << "not mounted";
        Player().ClearTranscript();
    }

    // The mount's exit status once it has ended by itself.
    int EndStatus() {
        if (ended_.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            ADD_FAILURE() << "the mount did not end";
            Shell("fusermount3 -u -z " + mnt_);
        }
        return ended_.get();
    }

    int Unmount() {
        EXPECT_EQ(Shell("fusermount3 -u " + mnt_), 0);
        return EndStatus();
    }

    // Runs `command` with sh in the test's folder; its exit status. Output goes to `output`.
    int Shell(const std::string& command, std::string* output = nullptr) {
        const std::string line = "cd " + root_.string() + " && (" + command + ") 2>&1";
        FILE* pipe = popen(line.c_str(), "r");
        std::string text;
        char buffer[4096];
        for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            text.append(buffer, got);
        }
        const int status = pclose(pipe);
        if (output != nullptr) {
            *output = text;
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    kvx512sim::Player& Player() { return kvx512sim::Bus::Instance().GetPlayer(0); }

    // Commands sent with this code letter ('W' write, 'R' read, 'G' listing, 'E' delete).
    int Commands(char code) {
        int count = 0;
        for (const auto& block : testsupport::CommandBlocks(Player().GetTranscript())) {
            count += block[5] == code ? 1 : 0;
        }
        return count;
    }

    // Names in a folder of the player, "." and ".." left out.
    std::vector<std::string> StoredNames(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& item : Player().ListFolder(0, folder)) {
            std::string name(item.longName.begin(), item.longName.end());
            if (name.empty()) {
                name = item.shortName;
            }
            if (item.shortName.rfind(".", 0) != 0) {
                names.push_back(name);
            }
        }
        return names;
    }

    fs::path root_;
    std::string mnt_;
    std::thread runner_;
    std::promise<int> status_;
    std::shared_future<int> ended_;
};

TEST_F(MountTest, ShellToolsChangeWhatThePlayerStores) {
    Mount();
    const std::vector<uint8_t> song = SteppedBytes(200000, 1);
    WriteFile(root_ / "local/song.mp3", song);

    // cp in: one upload, the stored file whole with its title trailer.
    ASSERT_EQ(Shell("cp local/song.mp3 mnt/"), 0);
    EXPECT_EQ(Commands('W'), 1);
    const auto stored = Player().FileData(0, "/song.mp3");
    ASSERT_TRUE(stored.has_value());
    ASSERT_EQ(stored->size(), song.size() + TrailerBytes);
    EXPECT_TRUE(std::equal(song.begin(), song.end(), stored->begin()));

    // cat and dd with a seek read what the player holds, without the trailer.
    ASSERT_EQ(Shell("cat mnt/song.mp3 > local/back.mp3"), 0);
    EXPECT_EQ(ReadFile(root_ / "local/back.mp3"), song);
    ASSERT_EQ(Shell("dd if=mnt/song.mp3 of=local/piece bs=1000 skip=150 count=3 status=none"), 0);
    EXPECT_EQ(ReadFile(root_ / "local/piece"), std::vector<uint8_t>(song.begin() + 150000, song.begin() + 153000));
    // A second read comes from the cache.
    Player().ClearTranscript();
    ASSERT_EQ(Shell("cmp mnt/song.mp3 local/song.mp3"), 0);
    EXPECT_EQ(Commands('R'), 0);

    // dd writing into the middle: the whole file goes again, changed there only.
    ASSERT_EQ(Shell("printf XYZ | dd of=mnt/song.mp3 bs=1 seek=1000 conv=notrunc status=none"), 0);
    auto changed = song;
    std::copy_n("XYZ", 3, changed.begin() + 1000);
    const auto rewritten = Player().FileData(0, "/song.mp3");
    ASSERT_TRUE(rewritten.has_value());
    EXPECT_TRUE(std::equal(changed.begin(), changed.end(), rewritten->begin()));

    // mkdir, mv into it (upload under the new name, then the old one deleted).
    ASSERT_EQ(Shell("mkdir mnt/Music && mv mnt/song.mp3 mnt/Music/Song.mp3"), 0);
    EXPECT_EQ(StoredNames("/"), std::vector<std::string>{"Music"});
    EXPECT_EQ(StoredNames("/Music"), std::vector<std::string>{"Song.mp3"});
    std::string output;
    EXPECT_EQ(Shell("rmdir mnt/Music", &output), 1);
    EXPECT_NE(output.find("Directory not empty"), std::string::npos) << output;

    // rsync -r: its temporary names are renamed into place.
    fs::create_directories(root_ / "local/album");
    WriteFile(root_ / "local/album/one.mp3", SteppedBytes(40000, 2));
    WriteFile(root_ / "local/album/two.mp3", SteppedBytes(50000, 3));
    ASSERT_EQ(Shell("rsync -r local/album mnt/Music/", &output), 0) << output;
    EXPECT_EQ(StoredNames("/Music/album"), (std::vector<std::string>{"one.mp3", "two.mp3"}));
    ASSERT_EQ(Shell("cmp mnt/Music/album/two.mp3 local/album/two.mp3"), 0);

    // Play order and 8.3 name as extended attributes.
    ASSERT_EQ(Shell("getfattr --only-values -n user.qrm284.position mnt/Music/album/two.mp3", &output), 0);
    EXPECT_EQ(output, "2");
    ASSERT_EQ(Shell("setfattr -n user.qrm284.position -v 1 mnt/Music/album/two.mp3"), 0);
    EXPECT_EQ(StoredNames("/Music/album"), (std::vector<std::string>{"two.mp3", "one.mp3"}));
    ASSERT_EQ(Shell("getfattr --only-values -n user.qrm284.short_name mnt/Music/Song.mp3", &output), 0);
    EXPECT_EQ(output, "SONG.MP3");
    EXPECT_NE(Shell("setfattr -n user.qrm284.short_name -v X.MP3 mnt/Music/Song.mp3"), 0);

    // cp -p's modes and times succeed without effect; df shows the storage.
    EXPECT_EQ(Shell("cp -p local/album/one.mp3 mnt/kept.mp3"), 0);
    ASSERT_EQ(Shell("df -B1 --output=size mnt | tail -1", &output), 0);
    EXPECT_EQ(std::stoull(output), 64ull << 20);

    // A folder cannot be renamed (EXDEV): mv copies it and deletes the old one.
    // A file renamed over another replaces it.
    ASSERT_EQ(Shell("mv mnt/Music/album mnt/Album && mv mnt/Album/one.mp3 mnt/Album/two.mp3", &output), 0) << output;
    EXPECT_EQ(StoredNames("/Music"), std::vector<std::string>{"Song.mp3"});
    EXPECT_EQ(StoredNames("/Album"), std::vector<std::string>{"two.mp3"});
    ASSERT_EQ(Shell("cmp mnt/Album/two.mp3 local/album/one.mp3"), 0);

    // rm, rmdir of what is empty.
    ASSERT_EQ(Shell("rm -r mnt/Music mnt/Album mnt/kept.mp3"), 0);
    EXPECT_TRUE(StoredNames("/").empty());
    EXPECT_EQ(Unmount(), 0);
    EXPECT_FALSE(Mounted(mnt_));
}

TEST_F(MountTest, TwoLongListingsCostOneListingExchange) {
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(Player().PutFile(0, "/Track " + std::to_string(i) + ".mp3", SteppedBytes(100, 1)));
    }
    Mount();
    std::string output;
    ASSERT_EQ(Shell("ls -l mnt >/dev/null && ls -l mnt | grep -c 'Track'", &output), 0);
    EXPECT_EQ(output, "40\n");
    EXPECT_EQ(Commands('G'), 1);
    EXPECT_EQ(Unmount(), 0);
}

struct RefusedCopy {
    const char* name;
    std::string target;       // under mnt/
    uint16_t capacityUnits;   // of 16 KiB
    const char* message;      // as cp says it
};

class MountRefusalTest : public MountTest, public ::testing::WithParamInterface<RefusedCopy> {};

// Each is refused before anything is sent, and nothing stays listed.
TEST_P(MountRefusalTest, CopyFailsAndNothingIsListed) {
    Player().SetCapacityUnits(0, GetParam().capacityUnits);
    Mount();
    WriteFile(root_ / "local/song.mp3", SteppedBytes(300000, 4));
    std::string output;
    EXPECT_EQ(Shell("cp local/song.mp3 'mnt/" + GetParam().target + "'", &output), 1);
    EXPECT_NE(output.find(GetParam().message), std::string::npos) << output;
    EXPECT_EQ(Commands('W'), 0);
    EXPECT_TRUE(StoredNames("/").empty());
    ASSERT_EQ(Shell("ls -A mnt", &output), 0);
    EXPECT_EQ(output, "");
    EXPECT_EQ(Unmount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, MountRefusalTest,
    ::testing::Values(RefusedCopy{"LargerThanTheFreeSpace", "song.mp3", 8, "No space left on device"},
                      RefusedCopy{"NameTooLong", std::string(200, 'n') + ".mp3", 4096, "File name too long"},
                      RefusedCopy{"ReservedCharacter", "a:b.mp3", 4096, "Invalid argument"},
                      RefusedCopy{"TrashFolder", ".Trash-0/song.mp3", 4096, "No such file or directory"}),
    testsupport::CaseName());

TEST_F(MountTest, TrashFoldersAreRefused) {
    Mount();
    std::string output;
    EXPECT_EQ(Shell("mkdir mnt/.Trash-0", &output), 1);
    EXPECT_NE(output.find("Operation not permitted"), std::string::npos) << output;
    EXPECT_EQ(Commands('D'), 0);
    EXPECT_EQ(Unmount(), 0);
}

struct Unplug {
    const char* name;
    bool copyIn;
};

class MountUnplugTest : public MountTest, public ::testing::WithParamInterface<Unplug> {};

// The copy fails, the mount goes away by itself with status 3, nothing is half stored.
TEST_P(MountUnplugTest, CopyFailsAndTheMountEnds) {
    const std::vector<uint8_t> song = SteppedBytes(600000, 5);
    if (!GetParam().copyIn) {
        ASSERT_TRUE(Player().PutFile(0, "/song.mp3", song));
    }
    Mount();
    WriteFile(root_ / "local/song.mp3", song);
    Player().DetachAfterDataBytes(200000);
    const std::string copy = GetParam().copyIn ? "cp local/song.mp3 mnt/" : "cp mnt/song.mp3 local/out.mp3";
    std::string output;
    EXPECT_EQ(Shell(copy, &output), 1);
    EXPECT_EQ(EndStatus(), qrm284::ExitNoPlayer);
    EXPECT_FALSE(Mounted(mnt_));
    if (GetParam().copyIn) {
        EXPECT_TRUE(StoredNames("/").empty());
    } else {
        EXPECT_EQ(Player().FileData(0, "/song.mp3"), song);
    }
}

INSTANTIATE_TEST_SUITE_P(Unplugs, MountUnplugTest,
                         ::testing::Values(Unplug{"CopyIn", true}, Unplug{"CopyOut", false}),
                         testsupport::CaseName());

// cp killed while it writes: what it wrote is part of a file, so none is stored.
TEST_F(MountTest, KilledCopyStoresNothing) {
    Mount();
    const fs::path fifo = root_ / "local/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const pid_t cp = fork();
    if (cp == 0) {
        execlp("cp", "cp", fifo.c_str(), (mnt_ + "/song.mp3").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const int writer = open(fifo.c_str(), O_WRONLY);
    ASSERT_GE(writer, 0);
    const std::vector<uint8_t> part = SteppedBytes(100000, 6);
    ASSERT_EQ(write(writer, part.data(), part.size()), static_cast<ssize_t>(part.size()));
    // Wait until the mount has staged what cp wrote.
    struct stat staged {};
    for (int i = 0; i < 500 && (stat((mnt_ + "/song.mp3").c_str(), &staged) != 0 || staged.st_size < 100000); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(staged.st_size, 100000);
    kill(cp, SIGKILL);
    int status = 0;
    waitpid(cp, &status, 0);
    close(writer);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(Commands('W'), 0);
    EXPECT_TRUE(StoredNames("/").empty());
    std::string output;
    ASSERT_EQ(Shell("ls -A mnt", &output), 0);
    EXPECT_EQ(output, "");
    // The name is free again at once.
    WriteFile(root_ / "local/song.mp3", part);
    ASSERT_EQ(Shell("cp local/song.mp3 mnt/song.mp3", &output), 0) << output;
    EXPECT_EQ(StoredNames("/"), std::vector<std::string>{"song.mp3"});
    EXPECT_EQ(Unmount(), 0);
}

} // namespace

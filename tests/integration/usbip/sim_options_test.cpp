// kvx512-sim refuses options it cannot honour before it serves anyone: a
// sentence on stderr and an exit status of its own, never an abort.
#include "tests/integration/usbip/sim_server_process.h"

#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <stdlib.h>
#include <string>
#include <vector>

namespace {

struct RefusedCase {
    const char* name;
    std::vector<std::string> options;
    const char* said;
};

class RefusedOption : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedOption, EndsWithASentenceAndStatusTwo) {
    usbiptest::SimServerProcess server(GetParam().options);
    EXPECT_FALSE(server.Started());
    EXPECT_EQ(server.Stop(SIGKILL), 2) << server.Log();
    EXPECT_NE(server.Log().find(GetParam().said), std::string::npos) << server.Log();
}

const std::string Folder = std::filesystem::temp_directory_path().string();

INSTANTIATE_TEST_SUITE_P(
    Options, RefusedOption,
    ::testing::Values(
        RefusedCase{"StateFileIsAFolder", {"--state-file", Folder}, "kvx512-sim: --state-file"},
        RefusedCase{"StateFileInNoFolder", {"--state-file", Folder + "/no-such-folder-kvx/state"},
                    "kvx512-sim: --state-file"},
        // The import request holds 31 characters and a zero.
        RefusedCase{"BusIdOfThirtyTwo", {"--bus-id", std::string(32, '7')}, "kvx512-sim: --bus-id"},
        RefusedCase{"UnknownOption", {"--no-such-option"}, "--no-such-option"},
        RefusedCase{"SizeOutOfRange", {"--main-size", "0"}, "--main-size"},
        // Several players are 1-1 to 1-N; one bus ID cannot name them.
        RefusedCase{"BusIdWithPlayers", {"--players", "2", "--bus-id", "2-1"}, "kvx512-sim: --bus-id"},
        RefusedCase{"VanishOfNoPlayer", {"--players", "2", "--vanish", "1-3"}, "kvx512-sim: --vanish"}),
    testsupport::CaseName());

// A state file kept by one server, for the next.
class StateFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(::mkdtemp(folder.data()), nullptr);
        path = folder + "/state";
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    std::string folder = std::filesystem::temp_directory_path().string() + "/sim-state-XXXXXX";
    std::string path;
};

TEST_F(StateFile, NotOursOrOfAnotherSizeEndsWithStatusTwo) {
    std::ofstream(path) << "not a state file";
    usbiptest::SimServerProcess foreign({"--state-file", path});
    EXPECT_EQ(foreign.Stop(SIGKILL), 2) << foreign.Log();
    std::filesystem::remove(path);
    {
        usbiptest::SimServerProcess first({"--state-file", path, "--main-size", "8"});
        ASSERT_TRUE(first.Started()) << first.Log();
        ASSERT_EQ(first.Stop(SIGTERM), 0) << first.Log();
    }
    usbiptest::SimServerProcess resized({"--state-file", path, "--main-size", "16"});
    EXPECT_EQ(resized.Stop(SIGKILL), 2);
    EXPECT_NE(resized.Log().find("--main-size is 16 MiB"), std::string::npos) << resized.Log();
    usbiptest::SimServerProcess same({"--state-file", path, "--main-size", "8"});
    EXPECT_TRUE(same.Started()) << same.Log();
}

TEST_F(StateFile, ThatCannotBeSavedFailsTheExit) {
    usbiptest::SimServerProcess server({"--state-file", path});
    ASSERT_TRUE(server.Started()) << server.Log();
    std::filesystem::remove_all(folder);
    EXPECT_EQ(server.Stop(SIGTERM), 1);
    EXPECT_NE(server.Log().find("cannot write"), std::string::npos) << server.Log();
}

} // namespace

// kvx512-sim refuses options it cannot honour before it serves anyone: a
// sentence on stderr and an exit status of its own, never an abort.
#include "tests/integration/usbip/sim_server_process.h"

#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
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
        // Several players are 1-1 to 1-N; one bus ID cannot name them.
        RefusedCase{"BusIdWithPlayers", {"--players", "2", "--bus-id", "2-1"}, "kvx512-sim: --bus-id"},
        RefusedCase{"VanishOfNoPlayer", {"--players", "2", "--vanish", "1-3"}, "kvx512-sim: --vanish"}),
    testsupport::CaseName());

} // namespace

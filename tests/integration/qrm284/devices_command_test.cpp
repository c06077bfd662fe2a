// qrm284 devices and --device in this process, against a bench of simulated
// players: what is listed for each, and that a chosen player is the only one
// any command talks to.
#include "platform/usb/usb_driver.h"
#include "sim/bus.h"
#include "tests/support/case_name.h"
#include "tests/support/command_line.h"
#include "tests/support/command_output.h"
#include "tools/qrm284/commands.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct BenchPlayer {
    uint16_t productId;
    const char* identity;
    const char* version;
    bool attached;
};

// sim-3 is unplugged (its place stays taken) and sim-5 is no player portio knows.
const BenchPlayer Players[] = {{0x0301, "APPL", "1.4310", true},
                         {0x1001, "BOOT", "1.0002", true},
                         {0x0301, "APPL", "1.4311", false},
                         {0x0321, "APPL", "2.0001", true},
                         {0x0999, "APPL", "1.0000", true}};

class PlayerBench : public ::testing::Test {
protected:
    void SetUp() override {
        auto& bus = kvx512sim::Bus::Instance();
        bus.Reset();
        bus.Clear();
        bus.RecordTranscripts(true);
        for (const BenchPlayer& bench : Players) {
            auto& player = bus.AddPlayer(bench.productId);
            kvx512sim::Identification identification;
            identification.identity = bench.identity;
            identification.version = bench.version;
            player.SetIdentification(identification);
            if (!bench.attached) {
                player.Detach();
            }
        }
    }
    void TearDown() override {
        platform::usb::ChooseDevice("");
        unsetenv("KVX512_DEVICE");
        kvx512sim::Bus::Instance().RecordTranscripts(false);
        kvx512sim::Bus::Instance().Reset();
    }

    static size_t TransferCount(size_t index) {
        return kvx512sim::Bus::Instance().GetPlayer(index).GetTranscript().Transfers().size();
    }
    // The identification command "Y" went to the player.
    static bool WasIdentified(size_t index) {
        for (const auto& block : kvx512sim::Bus::Instance().GetPlayer(index).GetTranscript().Writes()) {
            if (block.size() > 4 && block[4] == 'Y') {
                return true;
            }
        }
        return false;
    }

    // Runs one command line as qrm284 does; its exit status.
    int Run(const std::string& commandLine) {
        return testsupport::RunCommandLine(
            commandLine,
            [](CLI::App& app, int& status) {
                app.require_subcommand(1);
                qrm284::AddDeviceOption(app);
                qrm284::AddDevicesCommand(app, status);
                qrm284::AddInfoCommand(app, status);
                qrm284::AddLsCommand(app, status);
            },
            output_, &error_, testsupport::ParseErrors::RuntimeErrorsKeepTheirCode);
    }

    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    std::string output_;
    std::string error_;
};

class DevicesCommand : public PlayerBench {};

TEST_F(DevicesCommand, ListsEveryPlayerWithItsOwnIdentification) {
    ASSERT_EQ(Run("devices"), 0) << error_;
    EXPECT_EQ(Lines(output_), (std::vector<std::string>{"Device  Product  Mode  Firmware",
                                                        "sim-1   0301     APPL  1.43.10",
                                                        "sim-2   1001     BOOT  1.00.02",
                                                        "sim-4   0321     APPL  2.00.01"}));
    // Each player answered for itself; the unplugged one and the stranger were asked nothing.
    for (size_t index : {0, 1, 3}) {
        EXPECT_TRUE(WasIdentified(index)) << "sim-" << index + 1;
    }
    EXPECT_EQ(TransferCount(2), 0u);
    EXPECT_EQ(TransferCount(4), 0u);
    EXPECT_EQ(platform::usb::ChosenDevice(), "") << "the listing leaves no player chosen";
}

TEST_F(DevicesCommand, JsonGivesOneObjectPerPlayerThenTheResult) {
    ASSERT_EQ(Run("--device sim-2 devices --json"), 0) << error_;
    const std::vector<nlohmann::json> objects = testsupport::JsonLines(output_);
    ASSERT_EQ(objects.size(), 2u) << output_;
    EXPECT_EQ(objects[0], (nlohmann::json{{"event", "device"}, {"device", "sim-2"}, {"productId", "1001"},
                                          {"mode", "BOOT"}, {"firmware", "1.00.02"}}));
    EXPECT_EQ(objects[1], (nlohmann::json{{"event", "result"}, {"command", "devices"}, {"status", 0}}));
    EXPECT_EQ(TransferCount(0), 0u) << "only the chosen player is listed";
    EXPECT_EQ(platform::usb::ChosenDevice(), "sim-2");
}

struct ChoiceCase {
    const char* name;
    const char* commandLine;
    const char* environment;   // KVX512_DEVICE, or null
    size_t reached;            // the player's place on the bus
    const char* shown;         // part of what the command printed
};

class DeviceOption : public PlayerBench, public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(DeviceOption, OnlyTheChosenPlayerSeesAnyTransfer) {
    const ChoiceCase& c = GetParam();
    if (c.environment != nullptr) {
        setenv("KVX512_DEVICE", c.environment, 1);
    }
    ASSERT_EQ(Run(c.commandLine), 0) << error_;
    EXPECT_NE(output_.find(c.shown), std::string::npos) << output_;
    for (size_t index = 0; index < std::size(Players); ++index) {
        if (index == c.reached) {
            EXPECT_TRUE(WasIdentified(index));
        } else {
            EXPECT_EQ(TransferCount(index), 0u) << "sim-" << index + 1 << " was reached";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Choices, DeviceOption,
    ::testing::Values(ChoiceCase{"BeforeTheCommand", "--device sim-2 info", nullptr, 1, "Firmware: 1.00.02 (BOOT)"},
                      ChoiceCase{"AfterTheCommand", "info --device sim-4", nullptr, 3, "Firmware: 2.00.01 (APPL)"},
                      ChoiceCase{"ListingOfTheSecond", "ls --device sim-4", nullptr, 3, "capacity"},
                      ChoiceCase{"FromTheEnvironment", "info", "sim-4", 3, "Firmware: 2.00.01 (APPL)"},
                      ChoiceCase{"OptionOverEnvironment", "--device sim-2 info", "sim-4", 1, "1.00.02 (BOOT)"}),
    testsupport::CaseName());

class UnknownDevice : public PlayerBench, public ::testing::WithParamInterface<const char*> {};

TEST_P(UnknownDevice, EndsWithNoPlayerNamingItAndTheListing) {
    EXPECT_EQ(Run(std::string("--device ") + GetParam() + " ls"), qrm284::ExitNoPlayer);
    EXPECT_EQ(error_, std::string("qrm284: No player is connected at \"") + GetParam() +
                          "\"; \"qrm284 devices\" lists the connected players.\n");
    EXPECT_EQ(output_, "");
    for (size_t index = 0; index < std::size(Players); ++index) {
        EXPECT_EQ(TransferCount(index), 0u) << "sim-" << index + 1 << " was reached";
    }
}

// Beyond the bus, the unplugged player's place, another backend's kind of name.
INSTANTIATE_TEST_SUITE_P(Locations, UnknownDevice, ::testing::Values("sim-9", "sim-3", "1-1"));

} // namespace

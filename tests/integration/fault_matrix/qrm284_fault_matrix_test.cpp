// The long qrm284 operations against every fault the simulated player can
// inject, each aimed at the operation's own command: the exit status, no
// link left open, an end within the time-outs, and no partial file left on
// the player or on this computer.
#include "platform/system/clock.h"
#include "portio.h"
#include "tests/integration/fault_matrix/faults.h"
#include "tests/support/command_line.h"
#include "tests/support/command_output.h"
#include "tools/qrm284/commands.h"
#include "updater/engine/engine_link.h"
#include "updater/wizard/wizard_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;
using faultmatrix::AllFaults;
using faultmatrix::Fault;
using faultmatrix::FaultCount;
using Clock = std::chrono::steady_clock;

constexpr int TimeoutMs = 50;
// A command makes many exchanges; each may wait out a time-out once.
constexpr int MaxWaits = 40;
constexpr auto Slack = std::chrono::milliseconds(3000);

constexpr int Ok = 0;
constexpr int Failed = qrm284::ExitFailure;
constexpr int NoPlayer = qrm284::ExitNoPlayer;
constexpr int Refused = qrm284::ExitRefused;

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(seed + i * 13 + i / 509);
    }
    return bytes;
}

constexpr size_t CarriedFontSize = 2093088;
constexpr size_t TrailerSize = 2080;

const std::vector<uint8_t> onPlayer = Pattern(100000, 1);   // /a.mp3
const std::vector<uint8_t> onComputer = Pattern(90000, 2);  // song.mp3

struct Row {
    const char* name;
    std::string commandLine;
    // The command the faults are aimed at, as its block starts at offset 4.
    char group;
    char code;
    std::array<int, FaultCount> exits;
};

// Columns, in the order of AllFaults:
//   None  HsWh  RpWh  CmdW  RdF   R01   R02   R03   R04   R05   R19   R27   Stale Prog  Detach DataWh
const std::vector<Row> rows = {
    // Whatever goes wrong with "W" comes back from the device API as one
    // error, which put reports as a refusal while the player still answers.
    {"Put", "put song.mp3", 'M', 'W',
     {Ok, NoPlayer, Failed, Refused, Refused, Refused, Refused, Refused, Refused, Refused, Refused, Refused,
      Refused, Refused, NoPlayer, Ok}},
    // The answers to "R" are not examined: a refusal shows only when the data does not come.
    {"Get", "get a.mp3", 'M', 'R',
     {Ok, NoPlayer, Failed, Refused, Refused, Failed, Failed, Failed, Failed, Failed, Failed, Failed, Failed, Failed,
      Failed, Failed}},
    // Format lists nothing first: a withheld reply is the format's own, failed as a read that fails.
    {"Format", "format --yes", 'M', 'F',
     {Ok, NoPlayer, Refused, Refused, Refused, Refused, Refused, Refused, Refused, Refused, Refused, Refused, Refused,
      Refused, Ok, Ok}},
    // A progress reply counts as the player's yes: the font goes out and nothing is stored.
    {"Font", "font font.bin", 'U', 'W',
     {Ok, NoPlayer, Failed, Refused, Refused, Refused, Refused, Refused, Refused, Refused, Refused, Refused, Refused,
      Ok, Failed, Ok}},
    // Aimed at the firmware's program command ('C' 0x01); the font data is the data phase.
    {"Update", "update --yes --wait 1 --language 0x0409", 'C', '\x01',
     {Ok, Failed, Failed, Failed, Failed, Failed, Failed, Failed, Failed, Failed, Failed, Failed, Failed, Failed,
      Failed, Ok}},
};

class Qrm284FaultMatrix : public ::testing::TestWithParam<faultmatrix::CellIndex> {
protected:
    void SetUp() override {
        platform::SetClockHooks({[](uint32_t) {}, {}});
        // rm and update ask a person at a terminal.
        ASSERT_NO_FATAL_FAILURE(testsupport::StdinFromNowhere());
    }
    void TearDown() override {
        dll_fn_Close_Writefile();
        updater::CloseEngineLink();
        updater::SetSystemDefaultLangIdOverride(std::nullopt);
        scratch_.reset();
        platform::SetClockHooks({});
    }

    const Row& GetRow() const { return faultmatrix::RowOf(rows, GetParam()); }
    Fault GetFault() const { return faultmatrix::FaultOf(GetParam()); }
    kvx512sim::Player& Player() { return kvx512sim::Bus::Instance().GetPlayer(0); }

    // A fresh player holding /a.mp3 and a fresh folder here holding song.mp3.
    void Start() {
        kvx512sim::Bus::Instance().Reset();
        kvx512sim::Bus::Instance().RecordTranscripts(true);
        dll_fn_Close_Writefile();
        dll_fn_SetTimeout(TimeoutMs, TimeoutMs);
        // The updater's own time-outs are minutes long.
        Player().LimitWaits(TimeoutMs);
        ASSERT_TRUE(Player().PutFile(0, "/a.mp3", onPlayer));
        scratch_.emplace("qrm284_faults_" + std::to_string(std::get<0>(GetParam())) + "_" +
                         std::to_string(std::get<1>(GetParam())));
        for (const char* name : {"song.mp3", "font.bin"}) {
            testsupport::WriteFile(name, onComputer);
        }
    }

    // A command line's parse error fails the test.
    int Run(const std::string& commandLine) {
        std::string output;
        return testsupport::RunCommandLine(
            commandLine,
            [](CLI::App& app, int& status) {
                qrm284::AddPutCommand(app, status);
                qrm284::AddGetCommand(app, status);
                qrm284::AddUpdateCommand(app, status);
                qrm284::AddFormatCommand(app, status);
                qrm284::AddFontCommand(app, status);
            },
            output, &errors_, testsupport::ParseErrors::Thrown);
    }

    // Only whole files, here and on the player.
    void ExpectNoPartialFile() {
        for (const auto& item : Player().ListFolder(0, "/")) {
            if ((item.attribute & 0x10) != 0) {
                continue;
            }
            if (item.shortName == "A       MP3") {
                EXPECT_EQ(Player().FileData(0, "/a.mp3"), onPlayer);
            } else if (item.shortName == "SONG    MP3") {
                // Music is stored with the title trailer after its own bytes.
                const auto stored = Player().FileData(0, "/song.mp3").value_or(std::vector<uint8_t>{});
                EXPECT_EQ(stored.size(), onComputer.size() + (item.headerFlag != 0 ? TrailerSize : 0))
                    << "a partial file is listed";
                EXPECT_TRUE(std::equal(onComputer.begin(), onComputer.end(), stored.begin(),
                                       stored.begin() + std::min(stored.size(), onComputer.size())));
            } else {
                ADD_FAILURE() << "unexpected file " << item.shortName;
            }
        }
        if (fs::exists("a.mp3")) {
            EXPECT_EQ(testsupport::ReadFile("a.mp3"), onPlayer) << "a partial download";
        }
        EXPECT_FALSE(fs::exists("a.mp3.part"));
        const auto font = Player().FontData();
        EXPECT_TRUE(font.empty() || font.size() == CarriedFontSize || font == onComputer)
            << "a partial font of " << font.size() << " bytes";
    }

    std::optional<testsupport::ScratchFolder> scratch_;
    std::string errors_;
};

TEST_P(Qrm284FaultMatrix, ExitLinkTimeAndStoredFiles) {
    const Row& row = GetRow();
    const Fault fault = GetFault();
    const int expected = row.exits[std::get<1>(GetParam())];

    // Where the command's transfers go, from a run without the fault.
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ(Run(row.commandLine), 0) << errors_;
    const auto aim = faultmatrix::AimAt(Player().GetTranscript(), [&row](const std::vector<uint8_t>& block) {
        return block[4] == row.group && block[5] == row.code;
    });
    ASSERT_TRUE(aim.commandTransfer);
    ASSERT_TRUE(aim.targetFound) << "the command line never sent its command";

    ASSERT_NO_FATAL_FAILURE(Start());
    faultmatrix::Arm(Player(), fault, aim);
    const auto start = Clock::now();
    const int status = Run(row.commandLine);
    const auto elapsed = Clock::now() - start;

    EXPECT_EQ(status, expected) << errors_;
    EXPECT_LT(elapsed, std::chrono::milliseconds(MaxWaits * TimeoutMs) + Slack);
    EXPECT_EQ(dll_fn_Cancel(), 9) << "a link was left open";
    EXPECT_EQ(updater::EngineLink(), nullptr) << "the updater left its link open";
    ExpectNoPartialFile();
}

INSTANTIATE_TEST_SUITE_P(Commands, Qrm284FaultMatrix, faultmatrix::AllCells(rows.size()),
                         faultmatrix::CellName(rows));

} // namespace

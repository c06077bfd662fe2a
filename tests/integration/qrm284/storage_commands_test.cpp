// format, font, and the --json of info and ls in this process, against the
// simulated player: the commands on the wire, what it stored, the exit
// statuses and the JSON lines.
#include "sim/bus.h"
#include "tests/support/case_name.h"
#include "tests/support/command_line.h"
#include "tests/support/command_output.h"
#include "tests/support/stepped_bytes.h"
#include "tests/support/transcript_checks.h"
#include "tools/qrm284/commands.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Never starts like a command block.
std::vector<uint8_t> Pattern(size_t size) { return testsupport::SteppedBytes(size, 1); }

enum class Fault { None, NoPlayer, Refused };

class StorageCommands : public ::testing::Test {
protected:
    void SetUp() override {
        kvx512sim::Bus::Instance().Reset();
        kvx512sim::Bus::Instance().RecordTranscripts(true);
        // format asks a person at a terminal.
        ASSERT_NO_FATAL_FAILURE(testsupport::StdinFromNowhere());
        ASSERT_TRUE(Player().PutFile(0, "/Keep.mp3", Pattern(3000)));
        ASSERT_TRUE(Player().MakeFolder(0, "/Music"));
        Player().SetFormatPace(25, 0);
    }
    kvx512sim::Player& Player() { return kvx512sim::Bus::Instance().GetPlayer(0); }
    static bool Attached() { return kvx512sim::Bus::Instance().PlayerCount() > 0; }

    int Run(const std::string& commandLine) {
        return testsupport::RunCommandLine(
            commandLine,
            [](CLI::App& app, int& status) {
                qrm284::AddInfoCommand(app, status);
                qrm284::AddLsCommand(app, status);
                qrm284::AddFormatCommand(app, status);
                qrm284::AddFontCommand(app, status);
            },
            output_, &errors_);
    }

    // The command blocks sent but the identification "Y" each link sends:
    // group and code letters ("MFD", "UWF").
    std::vector<std::string> Commands() {
        std::vector<std::string> commands;
        if (!Attached()) {
            return commands;
        }
        for (const auto& block : testsupport::CommandBlocks(Player().GetTranscript())) {
            commands.emplace_back(block.begin() + 4, block.begin() + 7);
        }
        return commands;
    }

    // Makes the player refuse the command `commandLine` sends after those its
    // dry run sends, or go away.
    void Arrange(Fault fault, const std::string& dryRun) {
        if (fault == Fault::NoPlayer) {
            kvx512sim::Bus::Instance().Clear();
        } else if (fault == Fault::Refused) {
            ASSERT_EQ(Run(dryRun), 0) << errors_;
            Player().DelayCommandFaults(static_cast<int>(Commands().size()));
            Player().RefuseNextCommand(0x05);
        }
        if (Attached()) {
            Player().ClearTranscript();
        }
    }

    std::vector<nlohmann::json> Lines() const { return testsupport::JsonLines(output_); }


    testsupport::ScratchFolder scratch_{"qrm284_" + testsupport::CurrentTestName()};
    std::string output_;
    std::string errors_;
};

struct FormatCase {
    const char* name;
    std::string command;
    Fault fault;
    int status;
    std::vector<std::string> changing;   // the format command, if it went out
    bool erased;
};

class FormatCommand : public StorageCommands, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(FormatCommand, SendsItsCommandOnlyWhenAllowedAndEmptiesTheStorage) {
    const FormatCase& c = GetParam();
    Arrange(c.fault, "format --dry-run");
    EXPECT_EQ(Run(c.command), c.status) << errors_;
    std::vector<std::string> changing;
    for (const auto& command : Commands()) {
        if (command.substr(1) == "FD" || command.substr(1) == "LD") {
            changing.push_back(command);
        }
    }
    EXPECT_EQ(changing, c.changing);
    if (c.fault != Fault::NoPlayer) {
        EXPECT_EQ(Player().FileData(0, "/Keep.mp3").has_value(), !c.erased);
    }
    if (c.status == qrm284::ExitUsage) {
        EXPECT_TRUE(Player().GetTranscript().Entries().empty()) << "the player was not asked";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatCommand,
    ::testing::Values(FormatCase{"Main", "format --yes", Fault::None, 0, {"MFD"}, true},
                      FormatCase{"LowLevel", "format --yes --low-level", Fault::None, 0, {"MLD"}, true},
                      FormatCase{"Card", "format -y --storage 1", Fault::None, 0, {"SFD"}, false},
                      FormatCase{"DryRun", "format --dry-run", Fault::None, 0, {}, false},
                      FormatCase{"WithoutYesOffTerminal", "format", Fault::None, qrm284::ExitUsage, {}, false},
                      FormatCase{"Refused", "format --yes", Fault::Refused, qrm284::ExitRefused, {"MFD"}, false},
                      FormatCase{"NoPlayer", "format --yes", Fault::NoPlayer, qrm284::ExitNoPlayer, {}, false}),
    testsupport::CaseName());

struct FontCase {
    const char* name;
    std::string file;   // created with `size` bytes unless empty; the command's argument
    std::string argument;
    long size;          // -1: a folder of that name
    Fault fault;
    int status;
    bool announced;     // the font command went out (and, with status 0, the font is stored)
};

class FontCommand : public StorageCommands, public ::testing::WithParamInterface<FontCase> {};

TEST_P(FontCommand, StoresTheFileAsSentOrRefusesABadOneBeforeAskingThePlayer) {
    const FontCase& c = GetParam();
    const auto bytes = Pattern(c.size > 0 ? static_cast<size_t>(c.size) : 0);
    if (c.size < 0) {
        fs::create_directory(c.file);
    } else if (!c.file.empty()) {
        testsupport::WriteFile(c.file, bytes);
    }
    Arrange(c.fault, "font --dry-run " + c.argument);
    EXPECT_EQ(Run("font " + c.argument), c.status) << errors_;
    const auto commands = Commands();
    EXPECT_EQ(std::any_of(commands.begin(), commands.end(), [](const auto& k) { return k.substr(0, 2) == "UW"; }),
              c.announced);
    if (c.status == 0 && c.announced) {
        EXPECT_EQ(Player().FontName(), c.file);
        EXPECT_EQ(Player().FontData(), bytes);
    } else if (Attached()) {
        EXPECT_TRUE(Player().FontData().empty());
    }
    if (c.status == qrm284::ExitUsage) {
        EXPECT_TRUE(Player().GetTranscript().Entries().empty()) << "the player was not asked";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FontCommand,
    ::testing::Values(FontCase{"Small", "FONT.BIN", "FONT.BIN", 5000, Fault::None, 0, true},
                      FontCase{"PiecesAndRest", "big.fnt", "big.fnt", 2 * 32768 + 4464, Fault::None, 0, true},
                      FontCase{"WholePieces", "whole.fnt", "whole.fnt", 2 * 32768, Fault::None, 0, true},
                      FontCase{"DryRun", "FONT.BIN", "--dry-run FONT.BIN", 5000, Fault::None, 0, false},
                      FontCase{"Missing", "", "none.fnt", 0, Fault::None, qrm284::ExitUsage, false},
                      FontCase{"Empty", "empty.fnt", "empty.fnt", 0, Fault::None, qrm284::ExitUsage, false},
                      FontCase{"Folder", "dir.fnt", "dir.fnt", -1, Fault::None, qrm284::ExitUsage, false},
                      FontCase{"NameTooLong", std::string(248, 'f'), std::string(248, 'f'), 100, Fault::None,
                               qrm284::ExitUsage, false},
                      FontCase{"Refused", "FONT.BIN", "FONT.BIN", 5000, Fault::Refused, qrm284::ExitRefused, true},
                      FontCase{"NoPlayer", "FONT.BIN", "FONT.BIN", 5000, Fault::NoPlayer, qrm284::ExitNoPlayer,
                               false}),
    testsupport::CaseName());

class WithoutAPlayer : public StorageCommands, public ::testing::WithParamInterface<const char*> {};

// One exit status for "no player answered", whichever command meets it.
TEST_P(WithoutAPlayer, EveryCommandSaysSoAndExitsThree) {
    testsupport::WriteFile("FONT.BIN", Pattern(100));
    testsupport::WriteFile("Song.mp3", Pattern(100));
    kvx512sim::Bus::Instance().Clear();
    const int status = testsupport::RunCommandLine(
        GetParam(),
        [](CLI::App& app, int& exitStatus) {
            qrm284::AddDevicesCommand(app, exitStatus);
            qrm284::AddInfoCommand(app, exitStatus);
            qrm284::AddLsCommand(app, exitStatus);
            qrm284::AddUpdateCommand(app, exitStatus);
            qrm284::AddPutCommand(app, exitStatus);
            qrm284::AddGetCommand(app, exitStatus);
            qrm284::AddRmCommand(app, exitStatus);
            qrm284::AddOrderCommand(app, exitStatus);
            qrm284::AddFolderCommands(app, exitStatus);
            qrm284::AddFormatCommand(app, exitStatus);
            qrm284::AddFontCommand(app, exitStatus);
        },
        output_, &errors_);
    EXPECT_EQ(status, qrm284::ExitNoPlayer);
    EXPECT_EQ(errors_, "qrm284: No player is connected.\n");
}

INSTANTIATE_TEST_SUITE_P(Commands, WithoutAPlayer,
                         ::testing::Values("devices", "info", "ls", "update --yes --wait 1", "put Song.mp3",
                                           "get Song.mp3", "rm --yes Song.mp3", "order Song.mp3 1", "mkdir /A",
                                           "rmdir /A", "format --yes", "font FONT.BIN"));

struct JsonCase {
    const char* name;
    std::string command;
    std::vector<std::string> events;   // the "event" of each line, a run of progress lines as one
    std::string field;                 // a field of the line after the progress, and its value
    nlohmann::json value;
    std::string unit;                  // of the progress lines, if any
    uint64_t total;
};

class StorageJson : public StorageCommands, public ::testing::WithParamInterface<JsonCase> {};

TEST_P(StorageJson, EveryLineIsOneObjectProgressEndsAtItsTotalAndTheResultComesLast) {
    const JsonCase& c = GetParam();
    testsupport::WriteFile("FONT.BIN", Pattern(100000));
    EXPECT_EQ(Run(c.command), 0) << errors_;
    const auto lines = Lines();
    std::vector<std::string> events;
    const nlohmann::json* lastProgress = nullptr;
    const nlohmann::json* shown = nullptr;
    uint64_t done = 0;
    for (const auto& line : lines) {
        const std::string event = line.at("event");
        if (event == "progress") {
            EXPECT_EQ(line.at("unit"), c.unit);
            EXPECT_EQ(line.at("total"), c.total);
            EXPECT_GE(line.at("done").get<uint64_t>(), done) << "progress goes forward";
            done = line.at("done");
            lastProgress = &line;
        } else if (shown == nullptr && event != "result" && (lastProgress != nullptr || c.unit.empty())) {
            shown = &line;
        }
        if (events.empty() || event != "progress" || events.back() != "progress") {
            events.push_back(event);
        }
    }
    EXPECT_EQ(events, c.events) << output_;
    if (!c.unit.empty()) {
        ASSERT_NE(lastProgress, nullptr);
        EXPECT_EQ(lastProgress->at("done"), c.total);
    }
    ASSERT_NE(shown, nullptr) << output_;
    EXPECT_EQ(shown->at(c.field), c.value) << shown->dump();
    EXPECT_EQ(lines.back().at("status"), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, StorageJson,
    ::testing::Values(
        JsonCase{"Info", "info --json", {"info", "result"}, "model", "QRM-284", "", 0},
        JsonCase{"InfoVersion", "info --json", {"info", "result"}, "firmware", "1.43.10", "", 0},
        JsonCase{"InfoMode", "info --json", {"info", "result"}, "mode", "APPL", "", 0},
        JsonCase{"Ls", "ls --json", {"entry", "entry", "totals", "result"}, "size", 3000, "", 0},
        JsonCase{"Format", "format --json --yes", {"progress", "formatted", "result"}, "storage", 0, "percent", 100},
        JsonCase{"FormatDryRun", "format --json --dry-run", {"would-format", "result"}, "lowLevel", false, "", 0},
        JsonCase{"Font", "font --json FONT.BIN", {"progress", "downloaded-font", "result"}, "size", 100000, "bytes",
                 100000},
        JsonCase{"FontDryRun", "font --json --dry-run FONT.BIN", {"would-download-font", "result"}, "name",
                 "FONT.BIN", "", 0}),
    testsupport::CaseName());

} // namespace

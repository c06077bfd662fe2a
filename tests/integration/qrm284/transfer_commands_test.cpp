// put, get, rm and the folder commands in this process, against the simulated
// player: what it stores, what comes back, and the exit statuses.
#include "sim/bus.h"
#include "tests/support/case_name.h"
#include "tests/support/command_line.h"
#include "tests/support/command_output.h"
#include "tests/support/stepped_bytes.h"
#include "tests/support/transcript_checks.h"
#include "tools/qrm284/commands.h"
#include "tools/qrm284/transfer_cancel.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

using testsupport::SteppedBytes;

void Le(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

void Tag(std::vector<uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(tag[i]));
    }
}

// A voice WAV as recorders and sox write it: fmt, then fact and LIST before the data.
std::vector<uint8_t> VoiceWav(const std::vector<uint8_t>& blocks, uint16_t channels = 1, uint32_t rate = 8000) {
    std::vector<uint8_t> fmt;
    Le(fmt, 0x11, 2);
    Le(fmt, channels, 2);
    Le(fmt, rate, 4);
    Le(fmt, rate * 256 / 505, 4);
    Le(fmt, 256, 2);
    Le(fmt, 4, 2);
    Le(fmt, 2, 2);
    Le(fmt, 505, 2);
    std::vector<uint8_t> body;
    Tag(body, "WAVE");
    Tag(body, "fmt ");
    Le(body, static_cast<uint32_t>(fmt.size()), 4);
    body.insert(body.end(), fmt.begin(), fmt.end());
    Tag(body, "fact");
    Le(body, 4, 4);
    Le(body, static_cast<uint32_t>(blocks.size() / 256 * 505), 4);
    Tag(body, "LIST");
    Le(body, 5, 4);
    body.insert(body.end(), {'I', 'N', 'F', 'O', 0, 0});   // odd size, padded
    Tag(body, "data");
    Le(body, static_cast<uint32_t>(blocks.size()), 4);
    body.insert(body.end(), blocks.begin(), blocks.end());
    std::vector<uint8_t> file;
    Tag(file, "RIFF");
    Le(file, static_cast<uint32_t>(body.size()), 4);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

// IMA ADPCM blocks: each starts with its predictor and a step index below 89.
std::vector<uint8_t> AdpcmBlocks(size_t count) {
    std::vector<uint8_t> blocks = SteppedBytes(count * 256, 3);
    for (size_t b = 0; b < count; ++b) {
        blocks[b * 256 + 2] = static_cast<uint8_t>(b % 89);
        blocks[b * 256 + 3] = 0;
    }
    return blocks;
}

class Commands : public ::testing::Test {
protected:
    void SetUp() override {
        kvx512sim::Bus::Instance().Reset();
        // rm asks a person at a terminal.
        ASSERT_NO_FATAL_FAILURE(testsupport::StdinFromNowhere());
    }
    kvx512sim::Player& Player() { return kvx512sim::Bus::Instance().GetPlayer(0); }

    // Runs one command line ("put a.mp3 --to /Music"); returns its exit status.
    // With `errors`, standard error is captured into error_.
    int Run(const std::string& commandLine, bool errors = false) {
        return testsupport::RunCommandLine(
            commandLine,
            [](CLI::App& app, int& status) {
                qrm284::AddPutCommand(app, status);
                qrm284::AddGetCommand(app, status);
                qrm284::AddRmCommand(app, status);
                qrm284::AddOrderCommand(app, status);
                qrm284::AddFolderCommands(app, status);
            },
            output_, errors ? &error_ : nullptr);
    }

    testsupport::ScratchFolder scratch_{"qrm284_" + testsupport::CurrentTestName()};
    std::string output_;
    std::string error_;
};

struct PutCase {
    const char* name;
    std::string file;        // name on this computer
    size_t size;
    std::string folder;      // --to; empty for the top level
    std::string shortName;   // the 8.3 name the player gave it
    bool oneProcessor = false;   // get's writer thread then falls behind: get writes batches itself
    bool getByShortName = false; // get asks for the 8.3 name put showed
};

class PutAndGet : public Commands, public ::testing::WithParamInterface<PutCase> {};

TEST_P(PutAndGet, StoresTheBytesUnderTheShownShortNameAndGivesThemBack) {
    const PutCase& c = GetParam();
    const auto bytes = SteppedBytes(c.size, 11);
    testsupport::WriteFile(c.file, bytes);
    std::string to;
    if (!c.folder.empty()) {
        ASSERT_TRUE(Player().MakeFolder(0, c.folder));
        to = " --to " + c.folder;
    }
    ASSERT_EQ(Run("put \"" + c.file + "\"" + to), 0);
    EXPECT_EQ(output_, c.file + " -> " + c.shortName + "\n");
    const auto stored = Player().FileData(0, c.folder + "/" + c.shortName);
    ASSERT_TRUE(stored.has_value());
    ASSERT_GE(stored->size(), bytes.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), stored->begin()));

    fs::remove(c.file);
    cpu_set_t processors;
    ASSERT_EQ(sched_getaffinity(0, sizeof processors, &processors), 0);
    if (c.oneProcessor) {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(sched_getcpu(), &one);
        ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    }
    const int status = Run("get \"" + c.folder + "/" + (c.getByShortName ? c.shortName : c.file) + "\" -o back.bin");
    sched_setaffinity(0, sizeof processors, &processors);
    ASSERT_EQ(status, 0) << output_;
    EXPECT_EQ(testsupport::ReadFile("back.bin"), bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PutAndGet,
    ::testing::Values(PutCase{"ShortName", "TRACK01.MP3", 5000, "", "TRACK01.MP3"},
                      PutCase{"LongNameInFolder", "Song One.mp3", 100000, "/Music", "SONGON~1.MP3"},
                      PutCase{"GetByShortName", "Song One.mp3", 3000, "/Music", "SONGON~1.MP3", false, true},
                      PutCase{"SeveralBlocks", "Live.mp3", 3 * 32768 + 17, "", "LIVE.MP3"},
                      PutCase{"WholeBlocks", "Data.bin", 2 * 32768, "", "DATA.BIN"},
                      // More batches than get's writer keeps waiting.
                      PutCase{"ManyMegabytes", "Long.mp3", 5 * 1024 * 1024 + 3, "", "LONG.MP3"},
                      PutCase{"ManyMegabytesOnOneProcessor", "Long.mp3", 7 * 1024 * 1024 + 5, "", "LONG.MP3", true}),
    testsupport::CaseName());

TEST_F(Commands, VoiceWavWithExtraChunksRoundTripsInTheFortyEightByteForm) {
    const auto blocks = AdpcmBlocks(6);
    testsupport::WriteFile("memo.wav", VoiceWav(blocks));
    ASSERT_EQ(Run("put memo.wav"), 0);
    EXPECT_EQ(output_, "memo.wav -> MEMO.ADP\n");
    ASSERT_TRUE(Player().FileData(0, "/MEMO.ADP").has_value());

    ASSERT_EQ(Run("get memo.ADP -o back.wav"), 0) << output_;
    const auto back = testsupport::ReadFile("back.wav");
    ASSERT_EQ(back.size(), 48 + blocks.size());
    EXPECT_EQ(std::string(back.begin() + 40, back.begin() + 44), "data");
    EXPECT_TRUE(std::equal(blocks.begin(), blocks.end(), back.begin() + 48));
}

struct RefusedCase {
    const char* name;
    std::string file;
    std::vector<uint8_t> bytes;
    std::string suggestion;   // the start of the command line suggested
};

class PutRefuses : public Commands, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(PutRefuses, OtherAudioWithAUsageErrorAndNothingStored) {
    testsupport::WriteFile(GetParam().file, GetParam().bytes);
    const size_t before = Player().ListFolder(0, "/").size();
    EXPECT_EQ(Run("put " + GetParam().file, true), qrm284::ExitUsage);
    const std::string message = error_;
    EXPECT_NE(message.find(GetParam().suggestion), std::string::npos) << message;
    EXPECT_EQ(Player().ListFolder(0, "/").size(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Audio, PutRefuses,
    ::testing::Values(
        RefusedCase{"Stereo", "stereo.wav", VoiceWav(AdpcmBlocks(2), 2), "sox 'stereo.wav' -r 8000 -c 1 -e ima-adpcm"},
        RefusedCase{"WrongRate", "fast.wav", VoiceWav(AdpcmBlocks(2), 1, 16000), "sox 'fast.wav' -r 8000 -c 1 -e ima-adpcm"},
        RefusedCase{"NotRiff", "noise.wav", SteppedBytes(300, 1), "sox 'noise.wav' -r 8000 -c 1 -e ima-adpcm"},
        RefusedCase{"Flac", "song.flac", SteppedBytes(300, 1),
                    "Convert it to MP3 with: ffmpeg -i 'song.flac' -codec:a libmp3lame -qscale:a 2 'song.mp3'"}),
    testsupport::CaseName());

struct ChangeCase {
    const char* name;
    std::string command;
    int status;
    std::vector<std::string> after;   // long names in "/" afterwards, besides "." and ".."
    bool folderAfterFiles = false;    // "/Later" made after the files
    std::string sentence = {};        // stderr, when said
    bool keepReplaced = false;        // /Keep.mp3 holds the file here, not the player's 100 bytes
};

class Changes : public Commands, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(Changes, LeaveThePlayerAsExpectedWithTheirExitStatus) {
    ASSERT_TRUE(Player().MakeFolder(0, "/Empty"));
    ASSERT_TRUE(Player().PutFile(0, "/Keep.mp3", SteppedBytes(100, 1)));
    ASSERT_TRUE(Player().PutFile(0, "/Old Song.mp3", SteppedBytes(100, 2)));
    if (GetParam().folderAfterFiles) {
        ASSERT_TRUE(Player().MakeFolder(0, "/Later"));
    }
    testsupport::WriteFile("New.mp3", SteppedBytes(100, 3));
    testsupport::WriteFile("Keep.mp3", SteppedBytes(200, 4));
    EXPECT_EQ(Run(GetParam().command, true), GetParam().status) << error_;
    if (!GetParam().sentence.empty()) {
        EXPECT_EQ(error_, "qrm284: " + GetParam().sentence + "\n");
    }
    std::vector<std::string> names;
    for (const auto& item : Player().ListFolder(0, "/")) {
        std::string name;
        for (const char16_t unit : item.longName) {
            name += static_cast<char>(unit);   // the names here are ASCII
        }
        if (!name.empty()) {
            names.push_back(name);
        }
    }
    EXPECT_EQ(names, GetParam().after);
    const auto kept = Player().FileData(0, "/Keep.mp3");
    EXPECT_EQ(kept && kept->size() != 100 &&
                  std::equal(kept->begin(), kept->begin() + 200, SteppedBytes(200, 4).begin()),
              GetParam().keepReplaced);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, Changes,
    ::testing::Values(
        ChangeCase{"RmDeletes", "rm --yes \"Old Song.mp3\"", 0, {"Empty", "Keep.mp3"}},
        ChangeCase{"RmDryRunKeeps", "rm --dry-run \"Old Song.mp3\"", 0, {"Empty", "Keep.mp3", "Old Song.mp3"}},
        ChangeCase{"RmWithoutYesOffTerminal", "rm \"Old Song.mp3\"", qrm284::ExitUsage,
                   {"Empty", "Keep.mp3", "Old Song.mp3"}},
        ChangeCase{"RmMissing", "rm --yes Nothing.mp3", qrm284::ExitFailure, {"Empty", "Keep.mp3", "Old Song.mp3"}},
        ChangeCase{"MkdirCreates", "mkdir \"/New Folder\"", 0, {"Empty", "Keep.mp3", "Old Song.mp3", "New Folder"}},
        ChangeCase{"MkdirDryRun", "mkdir --dry-run /Other", 0, {"Empty", "Keep.mp3", "Old Song.mp3"}},
        ChangeCase{"MkdirExisting", "mkdir /Empty", qrm284::ExitFailure, {"Empty", "Keep.mp3", "Old Song.mp3"}},
        ChangeCase{"RmdirRemoves", "rmdir /Empty", 0, {"Keep.mp3", "Old Song.mp3"}},
        ChangeCase{"RmdirMissing", "rmdir /Nothing", qrm284::ExitFailure, {"Empty", "Keep.mp3", "Old Song.mp3"}},
        ChangeCase{"OrderMovesFirst", "order \"Old Song.mp3\" 1", 0, {"Empty", "Old Song.mp3", "Keep.mp3"}},
        ChangeCase{"OrderDryRun", "order --dry-run \"Old Song.mp3\" 1", 0, {"Empty", "Keep.mp3", "Old Song.mp3"}},
        ChangeCase{"OrderBeyondFiles", "order Keep.mp3 3", qrm284::ExitUsage, {"Empty", "Keep.mp3", "Old Song.mp3"}},
        ChangeCase{"PutDryRun", "put --dry-run New.mp3", 0, {"Empty", "Keep.mp3", "Old Song.mp3"}},
        ChangeCase{"RmByShortName", "rm --yes oldson~1.mp3", 0, {"Empty", "Keep.mp3"}},
        ChangeCase{"OrderByShortName", "order OLDSON~1.MP3 1", 0, {"Empty", "Old Song.mp3", "Keep.mp3"}},
        ChangeCase{"OrderWithAFolderAfterTheFiles", "order \"Old Song.mp3\" 1", 0,
                   {"Empty", "Old Song.mp3", "Keep.mp3", "Later"}, true},
        ChangeCase{"OrderLastWithAFolderAfterTheFiles", "order Keep.mp3 2", 0,
                   {"Empty", "Old Song.mp3", "Keep.mp3", "Later"}, true},
        ChangeCase{"OrderPositionZero", "order Keep.mp3 0", qrm284::ExitUsage, {"Empty", "Keep.mp3", "Old Song.mp3"}},
        ChangeCase{"PutExisting", "put Keep.mp3", qrm284::ExitRefused, {"Empty", "Keep.mp3", "Old Song.mp3"}, false,
                   "\"Keep.mp3\" is already on the player; add --replace to replace it."},
        ChangeCase{"PutReplacing", "put --replace Keep.mp3", 0, {"Empty", "Keep.mp3", "Old Song.mp3"}, false, "", true}),
    testsupport::CaseName());

struct JsonCase {
    const char* name;
    std::string command;
    std::vector<std::string> events;   // the "event" of each line, the result last
    int status;
    std::string field;                 // a field of the first line, and its value
    std::string value;
};

class Json : public Commands, public ::testing::WithParamInterface<JsonCase> {};

TEST_P(Json, EveryLineIsOneObjectAndTheLastGivesTheExitStatus) {
    ASSERT_TRUE(Player().PutFile(0, "/Keep.mp3", SteppedBytes(100, 1)));
    testsupport::WriteFile("Song One.mp3", SteppedBytes(4000, 5));
    const int status = Run(GetParam().command);
    EXPECT_EQ(status, GetParam().status);
    const std::vector<nlohmann::json> lines = testsupport::JsonLines(output_);
    ASSERT_EQ(lines.size(), GetParam().events.size()) << output_;
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].at("event"), GetParam().events[i]);
    }
    EXPECT_EQ(lines.back().at("status"), status);
    if (!GetParam().field.empty()) {
        EXPECT_EQ(lines.front().at(GetParam().field), GetParam().value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, Json,
    ::testing::Values(
        JsonCase{"Put", "put --json \"Song One.mp3\"", {"put", "result"}, 0, "shortName", "SONGON~1.MP3"},
        JsonCase{"PutDryRun", "put --json --dry-run \"Song One.mp3\"", {"would-put", "result"}, 0, "name", "Song One.mp3"},
        JsonCase{"Get", "get --json Keep.mp3 -o k.mp3", {"got", "result"}, 0, "path", "k.mp3"},
        JsonCase{"GetMissing", "get --json None.mp3", {"result"}, qrm284::ExitFailure, "", ""},
        JsonCase{"Rm", "rm --json --yes keep.mp3", {"deleted", "result"}, 0, "name", "keep.mp3"},
        JsonCase{"Mkdir", "mkdir --json /A", {"created-folder", "result"}, 0, "path", "/A"},
        JsonCase{"Order", "order --json Keep.mp3 1", {"moved", "result"}, 0, "name", "Keep.mp3"}),
    testsupport::CaseName());


struct GotCase {
    const char* name;
    std::string local;    // put first
    std::vector<uint8_t> bytes;
    std::string onPlayer;
    std::string target;
};

class GetJsonBytes : public Commands, public ::testing::WithParamInterface<GotCase> {};

TEST_P(GetJsonBytes, AreTheBytesOfTheWrittenFile) {
    const GotCase& c = GetParam();
    testsupport::WriteFile(c.local, c.bytes);
    ASSERT_EQ(Run("put " + c.local), 0);
    ASSERT_EQ(Run("get --json " + c.onPlayer + " -o " + c.target), 0);
    const std::vector<nlohmann::json> lines = testsupport::JsonLines(output_);
    ASSERT_EQ(lines.size(), 2u) << output_;
    EXPECT_EQ(lines[0].at("bytes").get<uint64_t>(), fs::file_size(c.target));
}

INSTANTIATE_TEST_SUITE_P(Files, GetJsonBytes,
                         ::testing::Values(GotCase{"Music", "Song.mp3", SteppedBytes(70000, 3), "Song.mp3", "back.mp3"},
                                           GotCase{"Voice", "memo.wav", VoiceWav(AdpcmBlocks(40)), "memo.ADP",
                                                   "back.wav"}),
                         testsupport::CaseName());

// Progress, Ctrl-C and --verify of put and get.
class Transfers : public Commands {
protected:
    void SetUp() override {
        Commands::SetUp();
        Player().RecordTranscript(true);
    }
    void TearDown() override {
        qrm284::SetBlockObserver({});
        Commands::TearDown();
    }
    // Runs the command with stderr captured into error_.
    int RunCaptured(const std::string& commandLine) { return Run(commandLine, true); }
    int CancelRequestsOnTheWire() { return testsupport::CancelRequests(Player().GetTranscript()); }
    bool Listed(const std::string& longName) {
        for (const auto& item : Player().ListFolder(0, "/")) {
            if (std::u16string(longName.begin(), longName.end()) == item.longName) {
                return true;
            }
        }
        return false;
    }
};

constexpr size_t Big = 3 * 1024 * 1024 + 17;   // four blocks of put

struct CancelCase {
    const char* name;
    std::string command;
    int atBlock;
    int signal;   // sent from another thread; 0: the flag raised directly
    std::string sentence;
};

class Cancel : public Transfers, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(Cancel, StopsTheTransferOnTheWireLeavesNoFileAndExits130) {
    const CancelCase& c = GetParam();
    testsupport::WriteFile("Big.mp3", SteppedBytes(Big, 9));
    ASSERT_TRUE(Player().PutFile(0, "/Stored.mp3", SteppedBytes(Big, 4)));
    int blocks = 0;
    qrm284::SetBlockObserver([&](uint64_t) {
        if (++blocks != c.atBlock) {
            return;
        }
        if (c.signal == 0) {
            qrm284::RequestCancel();
        } else {
            std::thread([&] { kill(getpid(), c.signal); }).join();
        }
    });
    struct sigaction before {};
    sigaction(c.signal == 0 ? SIGINT : c.signal, nullptr, &before);

    EXPECT_EQ(RunCaptured(c.command), qrm284::ExitInterrupted);
    EXPECT_EQ(blocks, c.atBlock) << "nothing moved after the cancel";
    EXPECT_EQ(error_, "qrm284: " + c.sentence + "\n");
    EXPECT_EQ(CancelRequestsOnTheWire(), 1) << Player().GetTranscript().Describe();
    EXPECT_FALSE(Player().InDataPhase());
    EXPECT_FALSE(Listed("Big.mp3"));
    EXPECT_TRUE(Listed("Stored.mp3"));
    EXPECT_FALSE(fs::exists("back.mp3"));
    EXPECT_FALSE(fs::exists("back.mp3.part"));
    struct sigaction after {};
    sigaction(c.signal == 0 ? SIGINT : c.signal, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler) << "the handler in force before is back";
}

INSTANTIATE_TEST_SUITE_P(
    PutAndGet, Cancel,
    ::testing::Values(CancelCase{"PutAtFirstBlock", "put Big.mp3", 1, 0,
                                 "Cancelled; \"Big.mp3\" was not stored on the player."},
                      CancelCase{"PutBySigint", "put Big.mp3", 2, SIGINT,
                                 "Cancelled; \"Big.mp3\" was not stored on the player."},
                      CancelCase{"GetAtThirdPiece", "get Stored.mp3 -o back.mp3", 3, 0,
                                 "Cancelled; \"Stored.mp3\" was not copied."},
                      CancelCase{"GetBySigterm", "get Stored.mp3 -o back.mp3", 5, SIGTERM,
                                 "Cancelled; \"Stored.mp3\" was not copied."}),
    testsupport::CaseName());

// A get that cannot write its copy reads no further, and leaves the player
// idle and no file behind.
struct GetFailureCase {
    const char* name;
    std::string target;
    rlim_t fileSizeLimit;   // RLIM_INFINITY: none
    int status;
    std::string sentence;
    int cancelRequests;     // the read is stopped before its end
};

class GetFailure : public Transfers, public ::testing::WithParamInterface<GetFailureCase> {};

TEST_P(GetFailure, StopsTheReadAndLeavesNoFile) {
    const GetFailureCase& c = GetParam();
    // Larger than the batches get's writer holds: it must stop part way.
    constexpr size_t Stored = 8 * 1024 * 1024;
    ASSERT_TRUE(Player().PutFile(0, "/Stored.mp3", SteppedBytes(Stored, 4)));
    const auto typeBefore = fs::status(c.target).type();
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);   // a write past the limit fails instead
    rlimit limited = before;
    limited.rlim_cur = c.fileSizeLimit;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    int pieces = 0;
    qrm284::SetBlockObserver([&](uint64_t) { ++pieces; });
    const int status = RunCaptured("get Stored.mp3 -o " + c.target);
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(status, c.status);
    EXPECT_EQ(error_, "qrm284: " + c.sentence + "\n");
    EXPECT_LT(pieces, static_cast<int>(Stored / 32768)) << "the read went on after the failed write";
    EXPECT_EQ(CancelRequestsOnTheWire(), c.cancelRequests) << Player().GetTranscript().Describe();
    EXPECT_FALSE(Player().InDataPhase());
    EXPECT_EQ(fs::status(c.target).type(), typeBefore);
    EXPECT_FALSE(fs::exists(c.target + ".part"));
    EXPECT_TRUE(Listed("Stored.mp3"));
}

INSTANTIATE_TEST_SUITE_P(
    Get, GetFailure,
    ::testing::Values(GetFailureCase{"FileSizeLimitPartWay", "back.mp3", 3 * 1024 * 1024 / 2, qrm284::ExitFailure,
                                     "Cannot write \"back.mp3\".", 1},
                      GetFailureCase{"TargetIsADevice", "/dev/null", RLIM_INFINITY, qrm284::ExitUsage,
                                     "\"/dev/null\" is neither a file nor a folder; -o takes one of those.", 0},
                      GetFailureCase{"IntoAMissingFolder", "nowhere/back.mp3", RLIM_INFINITY, qrm284::ExitFailure,
                                     "Cannot write \"nowhere/back.mp3\": No such file or directory.", 1}),
    testsupport::CaseName());

struct VerifyCase {
    const char* name;
    std::string file;
    std::string storedAs;   // its long name on the player
    std::vector<uint8_t> bytes;
    std::optional<uint32_t> corruptAt;   // a byte the player stores wrong
    int status;
    std::string sentence;                // stderr, empty when none
    int32_t resizeBy = 0;                // the player keeps a copy this much longer
};

class Verify : public Transfers, public ::testing::WithParamInterface<VerifyCase> {};

TEST_P(Verify, ReadsTheFileBackAndRemovesADamagedCopy) {
    const VerifyCase& c = GetParam();
    testsupport::WriteFile(c.file, c.bytes);
    if (c.corruptAt) {
        Player().CorruptNextStoredFile(*c.corruptAt);
    }
    Player().ResizeNextStoredFile(c.resizeBy);
    EXPECT_EQ(RunCaptured("put --verify " + c.file), c.status) << error_;
    EXPECT_EQ(error_, c.sentence.empty() ? "" : "qrm284: " + c.sentence + "\n");
    EXPECT_EQ(Listed(c.storedAs), c.status == 0);
    // Whether the read-back crossed the wire: an "R" after the upload's "W".
    bool wrote = false;
    bool readBack = false;
    for (const auto& block : Player().GetTranscript().Writes()) {
        if (testsupport::IsCommandBlock(block)) {
            wrote = wrote || block[5] == 'W';
            readBack = readBack || (wrote && block[5] == 'R');
        }
    }
    // A copy of another size is known by its listing alone.
    EXPECT_EQ(readBack, c.resizeBy == 0) << Player().GetTranscript().Describe();
}

INSTANTIATE_TEST_SUITE_P(
    Put, Verify,
    ::testing::Values(VerifyCase{"Music", "Song.mp3", "Song.mp3", SteppedBytes(Big, 2), std::nullopt, 0, ""},
                      VerifyCase{"VoiceOfSeveralPieces", "memo.wav", "memo.ADP", VoiceWav(AdpcmBlocks(300)), std::nullopt, 0, ""},
                      VerifyCase{"DamagedByte", "Song.mp3", "Song.mp3", SteppedBytes(Big, 2), 2 * 1024 * 1024 + 5,
                                 qrm284::ExitFailure,
                                 "The player's copy of \"Song.mp3\" differs from it at byte 2097157; "
                                 "the copy was removed."},
                      VerifyCase{"DamagedFirstByte", "Song.mp3", "Song.mp3", SteppedBytes(5000, 2), 0, qrm284::ExitFailure,
                                 "The player's copy of \"Song.mp3\" differs from it at byte 0; the copy was removed."},
                      VerifyCase{"LongerCopy", "Song.mp3", "Song.mp3", SteppedBytes(5000, 2), std::nullopt,
                                 qrm284::ExitFailure,
                                 "The player's copy of \"Song.mp3\" differs from it at byte 5000; the copy was removed.",
                                 1},
                      VerifyCase{"ShorterCopy", "Song.mp3", "Song.mp3", SteppedBytes(5000, 2), std::nullopt,
                                 qrm284::ExitFailure,
                                 "The player's copy of \"Song.mp3\" differs from it at byte 4999; the copy was removed.",
                                 -1}),
    testsupport::CaseName());

class Progress : public Transfers, public ::testing::WithParamInterface<const char*> {};

TEST_P(Progress, JsonEventsCountUpToTheTotalBeforeTheResult) {
    testsupport::WriteFile("Big.mp3", SteppedBytes(Big, 6));
    ASSERT_TRUE(Player().PutFile(0, "/Stored.mp3", SteppedBytes(Big, 6)));
    ASSERT_EQ(Run(GetParam()), 0);
    const std::vector<nlohmann::json> lines = testsupport::JsonLines(output_);
    ASSERT_GE(lines.size(), 3u) << output_;
    const auto total = lines[0].at("total").get<uint64_t>();
    EXPECT_GE(total, Big);
    uint64_t done = 0;
    size_t progress = 0;
    for (; progress < lines.size() && lines[progress].at("event") == "progress"; ++progress) {
        const auto& event = lines[progress];
        EXPECT_EQ(event.at("unit"), "bytes");
        EXPECT_EQ(event.at("total").get<uint64_t>(), total);
        EXPECT_GE(event.at("done").get<uint64_t>(), done) << output_;
        done = event.at("done").get<uint64_t>();
    }
    ASSERT_GE(progress, 1u) << output_;
    EXPECT_EQ(done, total) << "the last event is the whole file";
    EXPECT_EQ(lines.size(), progress + 2) << "then the file's line and the result";
}

INSTANTIATE_TEST_SUITE_P(PutAndGet, Progress,
                         ::testing::Values("put --json Big.mp3", "get --json Stored.mp3 -o back.mp3"));

enum class GetEnd { Whole, Cancelled, Detached };

struct KeepCase {
    const char* name;
    std::string options;
    GetEnd end;
    int status;
    bool replaced;
    bool read;   // an "R" went to the player
};

class GetKeeps : public Transfers, public ::testing::WithParamInterface<KeepCase> {};

// Until the copy is whole only NAME.part is written; the target changes at
// most once, from the old file to the whole copy.
TEST_P(GetKeeps, AnExistingTargetUntilTheCopyIsWholeAndOnlyWithForce) {
    const KeepCase& c = GetParam();
    const auto stored = SteppedBytes(Big, 4);
    const auto old = SteppedBytes(777, 8);
    ASSERT_TRUE(Player().PutFile(0, "/Stored.mp3", stored));
    testsupport::WriteFile("back.mp3", old);
    if (c.end == GetEnd::Detached) {
        Player().DetachAfterDataBytes(Big / 2);
    }
    int pieces = 0;
    bool targetKept = true;
    qrm284::SetBlockObserver([&](uint64_t) {
        targetKept = targetKept && testsupport::ReadFile("back.mp3") == old && fs::exists("back.mp3.part");
        if (++pieces == 3 && c.end == GetEnd::Cancelled) {
            qrm284::RequestCancel();
        }
    });
    EXPECT_EQ(RunCaptured("get Stored.mp3 -o back.mp3" + c.options), c.status) << error_;
    EXPECT_TRUE(targetKept) << "the target changed during the copy";
    EXPECT_EQ(testsupport::ReadFile("back.mp3"), c.replaced ? stored : old);
    EXPECT_FALSE(fs::exists("back.mp3.part"));
    bool read = false;
    for (const auto& block : Player().GetTranscript().Writes()) {
        read = read || (testsupport::IsCommandBlock(block) && block[5] == 'R');
    }
    EXPECT_EQ(read, c.read);
}

INSTANTIATE_TEST_SUITE_P(
    Get, GetKeeps,
    ::testing::Values(KeepCase{"WithoutForce", "", GetEnd::Whole, qrm284::ExitFailure, false, false},
                      KeepCase{"WithForce", " --force", GetEnd::Whole, 0, true, true},
                      KeepCase{"CancelledWithForce", " -f", GetEnd::Cancelled, qrm284::ExitInterrupted, false, true},
                      KeepCase{"FailedWithForce", " --force", GetEnd::Detached, qrm284::ExitFailure, false, true}),
    testsupport::CaseName());

} // namespace

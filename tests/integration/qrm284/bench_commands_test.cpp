// qrm284's --all and devices --watch as a bench runs them: the program
// itself (a worker process per player) against kvx512-sim servers with
// several players, over USB/IP.
#include "sim/player.h"
#include "tests/integration/usbip/sim_server_process.h"
#include "tests/support/command_output.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using nlohmann::json;

struct Ended {
    int status = -1;
    std::string out;
    std::string err;
};

class Program {
public:
    // qrm284 with the arguments, KVX512_USB set to `usb`, output into files
    // of the scratch folder.
    Program(const std::string& usb, std::vector<std::string> arguments, const std::string& folder)
        : outPath_(folder + "/out-" + std::to_string(++count_)), errPath_(outPath_ + ".err") {
        arguments.insert(arguments.begin(), QRM284_PROGRAM);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setenv("KVX512_USB", usb.c_str(), 1);
            ::dup2(::open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
            ::dup2(::open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
            ::dup2(::open("/dev/null", O_RDONLY), 0);
            std::vector<char*> argv;
            for (auto& argument : arguments) {
                argv.push_back(argument.data());
            }
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~Program() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    std::string Out() const { return String(testsupport::ReadFile(outPath_)); }
    Ended Wait(int signal = 0) {
        if (signal != 0) {
            ::kill(pid_, signal);
        }
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), Out(),
                String(testsupport::ReadFile(errPath_))};
    }
    // Waits (up to 20 s) until the output holds the text.
    bool Shows(const std::string& text) const {
        for (int tries = 0; tries < 800; ++tries) {
            if (Out().find(text) != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return false;
    }

    bool ShowsLines(size_t count) const {
        for (int tries = 0; tries < 800; ++tries) {
            const std::string out = Out();
            if (static_cast<size_t>(std::count(out.begin(), out.end(), '\n')) >= count) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return false;
    }

private:
    static std::string String(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }
    static inline int count_ = 0;
    std::string outPath_;
    std::string errPath_;
    pid_t pid_ = -1;
};

class Bench : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = (std::filesystem::temp_directory_path() /
                   ("qrm284-bench-" + std::to_string(::getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name()))
                      .string();
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    Ended Qrm284(const std::string& usb, std::vector<std::string> arguments) {
        return Program(usb, std::move(arguments), folder_).Wait();
    }

    // The JSON lines by the player they name; every line must name one.
    static std::map<std::string, std::vector<json>> ByDevice(const std::string& out) {
        std::map<std::string, std::vector<json>> lines;
        for (const json& line : testsupport::JsonLines(out)) {
            const bool overall = line.value("event", "") == "result" && !line.contains("device");
            if (!overall) {
                EXPECT_TRUE(line.contains("device")) << line;
                lines[line.value("device", "")].push_back(line);
            }
        }
        return lines;
    }

    static json Outcome(const std::vector<json>& lines) {
        for (const json& line : lines) {
            if (line.value("event", "") == "outcome") {
                return line;
            }
        }
        return {};
    }

    std::string folder_;
};

// Three players updated at once; the second is unplugged for good during its
// erase. The others are followed through the restart (imported again by bus
// ID) and end on the new firmware; its row says it is gone; the run fails.
TEST_F(Bench, UpdateAllFinishesThePlayersThatStayAndFailsForTheOneThatVanished) {
    usbiptest::SimServerProcess server({"--players", "3", "--restart-pause", "1200", "--reattach-after", "200",
                                        "--erase-delay", "1000", "--vanish", "1-2", "--vanish-after", "500"});
    ASSERT_TRUE(server.Started()) << server.Log();

    const Ended update = Qrm284(server.Url(), {"update", "--all", "--yes", "--json"});
    EXPECT_EQ(update.status, 1) << update.out << update.err;
    const auto lines = ByDevice(update.out);
    ASSERT_EQ(lines.size(), 3u) << update.out;
    for (const char* stayed : {"1-1", "1-3"}) {
        const json outcome = Outcome(lines.at(stayed));
        EXPECT_EQ(outcome.value("status", -1), 0) << outcome;
        EXPECT_EQ(outcome.value("gone", true), false) << outcome;
    }
    const json vanished = Outcome(lines.at("1-2"));
    EXPECT_EQ(vanished.value("status", -1), 1) << vanished;
    EXPECT_EQ(vanished.value("gone", false), true) << vanished;
    EXPECT_NE(vanished.value("text", "").find("gone from the bus"), std::string::npos) << vanished;
    EXPECT_EQ(testsupport::JsonLines(update.out).back(), (json{{"event", "result"}, {"command", "update"}, {"status", 1}}));

    // Before the firmware and after the restart: each import asked for its own bus ID.
    const std::string log = server.Log();
    for (const std::string busId : {"1-1", "1-3"}) {
        size_t imports = 0;
        for (size_t at = log.find("import " + busId + " granted"); at != std::string::npos;
             at = log.find("import " + busId + " granted", at + 1)) {
            ++imports;
        }
        EXPECT_GE(imports, 2u) << busId << "\n" << log;
    }
    EXPECT_NE(log.find("player 1-2 vanishes"), std::string::npos);

    const Ended info = Qrm284(server.Url(), {"info", "--all", "--json"});
    EXPECT_EQ(info.status, 0) << info.err;
    const auto after = ByDevice(info.out);
    ASSERT_EQ(after.size(), 2u) << info.out;
    for (const char* stayed : {"1-1", "1-3"}) {
        EXPECT_EQ(after.at(stayed).front().value("mode", "") + " " + after.at(stayed).front().value("firmware", ""),
                  "APPL 1.43.22")
            << info.out;
    }
}

// Ctrl-C during the erase: every player first finishes its firmware
// download (which is never cut off halfway), then the run ends as
// interrupted, before the format.
TEST_F(Bench, UpdateAllHoldsCtrlCUntilTheFirmwareIsWritten) {
    usbiptest::SimServerProcess server({"--players", "2", "--restart-pause", "1200", "--reattach-after", "200",
                                        "--erase-delay", "800"},
                                       0, false);
    ASSERT_TRUE(server.Started());
    Program update(server.Url(), {"update", "--all", "--yes", "--json"}, folder_);
    ASSERT_TRUE(update.Shows("\"device\":\"1-2\",\"event\":\"phase\",\"phase\":\"erase\"") &&
                update.Shows("\"device\":\"1-1\",\"event\":\"phase\",\"phase\":\"erase\""))
        << update.Out();
    const Ended ended = update.Wait(SIGINT);
    EXPECT_EQ(ended.status, 130) << ended.out << ended.err;
    const auto lines = ByDevice(ended.out);
    ASSERT_EQ(lines.size(), 2u) << ended.out;
    for (const auto& [device, events] : lines) {
        const bool written = std::any_of(events.begin(), events.end(), [](const json& line) {
            return line.value("event", "") == "phase-end" && line.value("phase", "") == "program" &&
                   line.value("outcome", "") == "done";
        });
        const bool formatted = std::any_of(events.begin(), events.end(),
                                           [](const json& line) { return line.value("phase", "") == "format"; });
        EXPECT_TRUE(written) << device << "\n" << ended.out;
        EXPECT_FALSE(formatted) << device << "\n" << ended.out;
        EXPECT_EQ(Outcome(events).value("status", -1), 130) << device;
    }
}

// Two files to three players on two servers: each player stores both, byte
// for byte, under the 8.3 name reported for it (what the servers kept at exit).
TEST_F(Bench, PutAllStoresEveryFileOnEveryPlayerOfEveryServer) {
    usbiptest::SimServerProcess first({"--players", "2", "--state-file", folder_ + "/first"}, 0, false);
    usbiptest::SimServerProcess second({"--state-file", folder_ + "/second"}, 0, false);
    ASSERT_TRUE(first.Started() && second.Started());
    const std::string usb = first.Url() + " " + second.Url();
    std::map<std::string, std::vector<uint8_t>> files{{"song.mp3", {}}, {"A long file name.mp3", {}}};
    uint8_t seed = 1;
    for (auto& [name, bytes] : files) {
        bytes.resize(seed == 1 ? 70001 : 40960);
        for (size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<uint8_t>(i * 31 + seed + i / 251);
        }
        testsupport::WriteFile(folder_ + "/" + name, bytes);
        ++seed;
    }

    // Two at a time: the third waits for a worker to end.
    const Ended put = Qrm284(usb, {"put", "--all", "--jobs", "2", "--json", folder_ + "/song.mp3",
                                   folder_ + "/A long file name.mp3"});
    EXPECT_EQ(put.status, 0) << put.out << put.err;
    const auto lines = ByDevice(put.out);
    const std::string firstName = first.Url().substr(8);
    const std::string secondName = second.Url().substr(8);
    const std::map<std::string, std::string> stateFiles{{firstName + "/1-1", folder_ + "/first"},
                                                        {firstName + "/1-2", folder_ + "/first.1-2"},
                                                        {secondName + "/1-1", folder_ + "/second"}};
    ASSERT_EQ(lines.size(), 3u) << put.out;
    EXPECT_EQ(first.Stop(SIGTERM), 0);
    EXPECT_EQ(second.Stop(SIGTERM), 0);
    for (const auto& [device, stateFile] : stateFiles) {
        ASSERT_EQ(lines.count(device), 1u) << device << "\n" << put.out;
        kvx512sim::Player player(0x0301);
        ASSERT_TRUE(player.LoadState(stateFile)) << stateFile;
        size_t reported = 0;
        for (const json& line : lines.at(device)) {
            if (line.value("event", "") != "put") {
                continue;
            }
            ++reported;
            const std::string name = line.value("name", "");
            const std::string shortName = line.value("shortName", "");
            const auto stored = player.FileData(0, "/" + name);
            ASSERT_TRUE(stored) << device << " " << name;
            // The file's bytes, then the title picture the device API appends.
            const auto& sent = files.at(name);
            ASSERT_GE(stored->size(), sent.size()) << device << " " << name;
            EXPECT_TRUE(std::equal(sent.begin(), sent.end(), stored->begin())) << device << " " << name;
            EXPECT_EQ(player.FileData(0, "/" + shortName), stored) << device << " " << shortName;
        }
        EXPECT_EQ(reported, 2u) << device;
    }
}

// A player unplugged by a transfer that comes back after a while: the
// watcher says it left and that it arrived again, and Ctrl-C ends it well.
TEST_F(Bench, DevicesWatchSeesAPlayerLeaveAndComeBack) {
    usbiptest::SimServerProcess server({"--players", "2", "--detach-after-bytes", "4096", "--reattach-after", "700"});
    ASSERT_TRUE(server.Started()) << server.Log();
    Program watch(server.Url(), {"devices", "--watch", "--json"}, folder_);
    ASSERT_TRUE(watch.Shows("\"device\":\"1-2\",\"event\":\"arrived\"")) << watch.Out();

    testsupport::WriteFile(folder_ + "/cut.mp3", std::vector<uint8_t>(65536, 0x5A));
    const Ended put = Qrm284(server.Url(), {"--device", "1-2", "put", folder_ + "/cut.mp3"});
    EXPECT_NE(put.status, 0);
    // Left, then arrived again: the fourth line.
    ASSERT_TRUE(watch.ShowsLines(4)) << watch.Out();
    const Ended watched = watch.Wait(SIGINT);
    EXPECT_EQ(watched.status, 0) << watched.err;
    std::vector<std::string> seen;
    for (const json& line : testsupport::JsonLines(watched.out)) {
        if (line.value("event", "") != "result") {
            seen.push_back(line.value("event", "") + " " + line.value("device", "") + " " +
                           line.value("productId", "") + " " + line.value("mode", ""));
        }
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"arrived 1-1 0301 APPL", "arrived 1-2 0301 APPL", "left 1-2 0301 APPL",
                                              "arrived 1-2 0301 APPL"}));
}

} // namespace

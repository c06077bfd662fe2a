// Page 1's wait for the manager programs, against real processes started
// under their names.
#include "tests/unit/updater/recording_sheet.h"
#include "tests/support/case_name.h"
#include "updater/wizard/manager_check.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using updatertest::RecordingSheet;
using namespace updater;
namespace fs = std::filesystem;

class ManagerCheck : public updatertest::UpdaterTest {
protected:
    void SetUp() override {
        UpdaterTest::SetUp();
        folder = fs::temp_directory_path() / ("manager-check-" + std::to_string(getpid()));
        fs::create_directories(folder);
    }
    void TearDown() override {
        for (pid_t pid : running) {
            Stop(pid);
        }
        fs::remove_all(folder);
        SetProcessListRoot({});
        UpdaterTest::TearDown();
    }

    // A process whose executable carries `name`: a copy of sleep.
    pid_t Start(const std::string& name) {
        const fs::path program = folder / name;
        if (!fs::exists(program)) {
            fs::copy_file("/bin/sleep", program);
        }
        std::string path = program.string();
        std::string seconds = "300";
        char* argv[] = {path.data(), seconds.data(), nullptr};
        pid_t pid = 0;
        EXPECT_EQ(posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ), 0);
        running.push_back(pid);
        // The exe link is in place once the process has executed the copy.
        for (int i = 0; i < 500 && fs::read_symlink("/proc/" + std::to_string(pid) + "/exe") != program; ++i) {
            usleep(1000);
        }
        return pid;
    }

    void Stop(pid_t pid) {
        if (std::erase(running, pid) == 0) {
            return;
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }

    fs::path folder;
    std::vector<pid_t> running;
};

TEST_F(ManagerCheck, NoManagerRunningGivesNextAtOnce) {
    RecordingSheet sheet;
    EXPECT_EQ(CloseManagersWorker(sheet), 1u);
    EXPECT_TRUE(sheet.MessageBoxes().empty());
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_NEXT});
    EXPECT_EQ(Slept(), 0u);
}

TEST_F(ManagerCheck, WaitsUntilEveryInstanceHasEnded) {
    const pid_t first = Start("Tunewharf");
    const pid_t second = Start("Tunewharf");
    const pid_t third = Start("Brio Sync Suite");
    RecordingSheet sheet;
    sheet.BeginThread([&sheet] { return CloseManagersWorker(sheet); });
    // The warning comes once for all three.
    for (int i = 0; i < 2000 && sheet.MessageBoxes().empty(); ++i) {
        usleep(1000);
    }
    ASSERT_EQ(sheet.MessageBoxes().size(), 1u);
    const auto box = sheet.MessageBoxes()[0];
    EXPECT_EQ(box.text, "Close Manager Program");
    EXPECT_EQ(box.caption, "WARNING");
    EXPECT_EQ(box.style, MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);

    for (pid_t pid : {first, third}) {
        Stop(pid);
        usleep(20000);
        EXPECT_TRUE(sheet.Buttons().empty()) << "one is still running";
    }
    Stop(second);
    ASSERT_TRUE(sheet.WaitForPost(PSWIZB_NEXT));
    sheet.JoinAll();
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_NEXT});
    EXPECT_EQ(sheet.MessageBoxes().size(), 1u);
    EXPECT_GT(Slept(), 0u);
    EXPECT_EQ(Slept() % 300, 0u) << "looked at every 300 ms";
}

TEST_F(ManagerCheck, ClosedWhileTheWarningIsOpenGivesNextWithoutSleeping) {
    const pid_t pid = Start("Velt Media Desk");
    RecordingSheet sheet;
    sheet.onMessageBox = [&](const std::string&) { Stop(pid); };
    EXPECT_EQ(CloseManagersWorker(sheet), 1u);
    EXPECT_EQ(sheet.MessageBoxes().size(), 1u);
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_NEXT});
    EXPECT_EQ(Slept(), 0u);
}

struct NameCase {
    const char* name;
    const char* exeName;
    bool matches;
};

class ManagerNames : public ManagerCheck, public ::testing::WithParamInterface<NameCase> {};

TEST_P(ManagerNames, MatchWholeNamesWithoutRegardToCase) {
    const pid_t pid = Start(GetParam().exeName);
    RecordingSheet sheet;
    sheet.onMessageBox = [&](const std::string&) { Stop(pid); };
    EXPECT_EQ(CloseManagersWorker(sheet), 1u);
    EXPECT_EQ(sheet.MessageBoxes().size(), GetParam().matches ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Names, ManagerNames,
                         ::testing::Values(NameCase{"Exact", "Zeph Audio Link", true},
                                           NameCase{"OtherCase", "tUNEWHARF", true},
                                           NameCase{"WithExtension", "Tunewharf.exe", false},
                                           NameCase{"Longer", "Brio Sync Suite 2", false},
                                           NameCase{"Shorter", "Tunewhar", false}),
                         testsupport::CaseName());

TEST_F(ManagerCheck, UnreadableProcessListOffersFinish) {
    SetProcessListRoot((folder / "no-such-folder").string());
    RecordingSheet sheet;
    EXPECT_EQ(CloseManagersWorker(sheet), 0u);
    const auto boxes = sheet.MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, "ERROR");
    EXPECT_EQ(boxes[0].text, std::strerror(ENOENT));
    EXPECT_EQ(boxes[0].style, MB_OK | MB_ICONINFORMATION);
    EXPECT_EQ(boxes[1].text, "Restart Program\t");
    EXPECT_EQ(boxes[1].style, MB_OK | MB_ICONINFORMATION | MB_SYSTEMMODAL);
    EXPECT_EQ(sheet.Buttons(), std::vector<LPARAM>{PSWIZB_FINISH});
}

TEST_F(ManagerCheck, ClosingSheetEndsTheWait) {
    Start("Tunewharf");
    RecordingSheet sheet;
    sheet.onMessageBox = [&](const std::string&) { sheet.Close(); };
    EXPECT_EQ(CloseManagersWorker(sheet), 0u);
    EXPECT_TRUE(sheet.Buttons().empty());
}

} // namespace

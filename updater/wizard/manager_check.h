// Page 1's wait for the player's manager programs to end: none of them may
// hold the player while the updater works. The updater never ends them.
#pragma once

#include "updater/wizard/sheet.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace updater {

// The process names of the manager programs, in the order they are tried.
inline constexpr std::array<const char*, 4> ManagerProgramNames = {"Zeph Audio Link", "Tunewharf", "Velt Media Desk",
                                                                  "Brio Sync Suite"};

struct ProcessEntry {
    uint32_t processId = 0;
    std::string exeName;   // the executable's file name, without its folder
};

// A snapshot of the running processes, read from /proc; nullopt (errno set)
// when the list cannot be read.
std::optional<std::vector<ProcessEntry>> TakeProcessSnapshot();
// Nonzero while the process runs (its expected system version, 0x40000);
// 0 once it has ended, zombies included.
uint32_t GetProcessVersion(uint32_t processId);
// Reads processes from `root` instead of /proc (tests); empty restores it.
void SetProcessListRoot(const std::string& root);

// True when the name equals one of the four, ignoring letter case.
bool IsManagerProgram(const std::string& exeName);

// What the user is told: the warning while manager programs run, and the
// second message when the process list cannot be read.
inline constexpr const char* CloseManagerText = "Close Manager Program";
inline constexpr const char* RestartProgramText = "Restart Program\t";

enum class ManagerWait {
    Ended,            // none runs (any longer)
    ListUnreadable,   // the process list cannot be read (errno set)
    Abandoned,        // `giveUp` said so while they still ran
};

// One `warn` for all running manager programs, then, while any of them still
// runs, a look every 300 ms until they have all ended or `giveUp` (asked
// after every pause) says so.
ManagerWait WaitForManagersToEnd(const std::function<void()>& warn, const std::function<bool()>& giveUp);

// The thread of page 1: WaitForManagersToEnd with the warning in a message
// box, then posts Next. When the process list cannot be read: the system's
// text, "Restart Program", and Finish. Ends quietly when the sheet closes.
unsigned CloseManagersWorker(Sheet& sheet);

} // namespace updater

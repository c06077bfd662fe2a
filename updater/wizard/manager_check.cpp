#include "updater/wizard/manager_check.h"

#include "updater/engine/system_message.h"

#include "platform/system/clock.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <mutex>
#include <string_view>
#include <strings.h>
#include <unistd.h>

namespace updater {

namespace {

constexpr uint32_t LiveProcessVersion = 0x40000;
constexpr uint32_t PollIntervalMs = 300;

std::mutex rootMutex;
std::string procRoot = "/proc";

std::string ProcRoot() {
    std::lock_guard lock(rootMutex);
    return procRoot;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The executable's file name: from the exe link where it may be read, else
// the kernel's command name.
std::string ExecutableName(const std::string& processDir) {
    char target[4096];
    const ssize_t length = readlink((processDir + "/exe").c_str(), target, sizeof target - 1);
    if (length > 0) {
        std::string path(target, static_cast<size_t>(length));
        constexpr std::string_view Deleted = " (deleted)";
        if (path.size() > Deleted.size() && path.ends_with(Deleted)) {
            path.resize(path.size() - Deleted.size());
        }
        return BaseName(path);
    }
    std::ifstream comm(processDir + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

bool ParseProcessId(const char* text, uint32_t& processId) {
    if (*text < '1' || *text > '9') {
        return false;
    }
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (*end != '\0' || value > 0xFFFFFFFFul) {
        return false;
    }
    processId = static_cast<uint32_t>(value);
    return true;
}

uint32_t CombinedVersions(const std::vector<uint32_t>& processIds) {
    uint32_t combined = 0;
    for (uint32_t processId : processIds) {
        combined |= GetProcessVersion(processId);
    }
    return combined;
}

} // namespace

void SetProcessListRoot(const std::string& root) {
    std::lock_guard lock(rootMutex);
    procRoot = root.empty() ? "/proc" : root;
}

std::optional<std::vector<ProcessEntry>> TakeProcessSnapshot() {
    const std::string root = ProcRoot();
    DIR* dir = opendir(root.c_str());
    if (dir == nullptr) {
        return std::nullopt;
    }
    std::vector<ProcessEntry> entries;
    while (const dirent* entry = readdir(dir)) {
        uint32_t processId = 0;
        if (ParseProcessId(entry->d_name, processId)) {
            entries.push_back({processId, ExecutableName(root + "/" + entry->d_name)});
        }
    }
    closedir(dir);
    return entries;
}

uint32_t GetProcessVersion(uint32_t processId) {
    std::ifstream stat(ProcRoot() + "/" + std::to_string(processId) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return 0;
    }
    // "pid (name) S ...": the state follows the last ')'.
    const size_t close = line.rfind(')');
    if (close == std::string::npos || close + 2 >= line.size()) {
        return 0;
    }
    const char state = line[close + 2];
    return state == 'Z' || state == 'X' ? 0 : LiveProcessVersion;
}

bool IsManagerProgram(const std::string& exeName) {
    for (const char* name : ManagerProgramNames) {
        if (strcasecmp(exeName.c_str(), name) == 0) {
            return true;
        }
    }
    return false;
}

ManagerWait WaitForManagersToEnd(const std::function<void()>& warn, const std::function<bool()>& giveUp) {
    const auto snapshot = TakeProcessSnapshot();
    if (!snapshot) {
        return ManagerWait::ListUnreadable;
    }
    std::vector<uint32_t> running;
    for (const auto& entry : *snapshot) {
        if (IsManagerProgram(entry.exeName)) {
            running.push_back(entry.processId);
        }
    }
    if (!running.empty()) {
        warn();
    }
    if (!running.empty() && CombinedVersions(running) != 0) {
        for (;;) {
            const uint32_t combined = CombinedVersions(running);
            platform::Sleep(PollIntervalMs);
            if (combined == 0) {
                break;
            }
            if (giveUp()) {
                return ManagerWait::Abandoned;
            }
        }
    }
    return ManagerWait::Ended;
}

unsigned CloseManagersWorker(Sheet& sheet) {
    const ManagerWait wait = WaitForManagersToEnd(
        [&sheet] { sheet.ShowMessageBox(CloseManagerText, "WARNING", MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL); },
        [&sheet] { return sheet.Closing(); });
    if (wait == ManagerWait::ListUnreadable) {
        char text[SystemMessageCapacity];
        SystemMessageText(static_cast<uint32_t>(errno), {}, text);
        sheet.ShowMessageBox(text, "ERROR", MB_OK | MB_ICONINFORMATION);
        sheet.ShowMessageBox(RestartProgramText, "ERROR", MB_OK | MB_ICONINFORMATION | MB_SYSTEMMODAL);
        PostButtons(sheet, PSWIZB_FINISH);
        return 0;
    }
    if (wait == ManagerWait::Abandoned) {
        return 0;
    }
    PostButtons(sheet, PSWIZB_NEXT);
    return 1;
}

} // namespace updater

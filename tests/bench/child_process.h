// The end of a benchmark's child process: its exit status and peak memory.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>

namespace bench {

// The exit status of `pid` once it has ended, -1 when it was killed or could
// not be waited for; its peak resident size (KiB) into `maxRssKiB` if given.
inline int WaitForChild(pid_t pid, long* maxRssKiB = nullptr) {
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) {
        return -1;
    }
    if (maxRssKiB != nullptr) {
        *maxRssKiB = usage.ru_maxrss;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace bench

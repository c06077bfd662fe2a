// The worker threads a sheet starts: each runs on a thread of its own, and
// all of them, those started by other workers included, are joined before
// the sheet goes away.
#pragma once

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace updater {

class WorkerThreads {
public:
    WorkerThreads() = default;
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;
    ~WorkerThreads() { JoinAll(); }

    void Start(std::function<void()> work);
    // Returns once no worker runs and none is left to join.
    void JoinAll();

private:
    std::mutex mutex_;
    std::vector<std::thread> threads_;
};

} // namespace updater

// The one thread that talks to the player. The device API takes one caller at
// a time and keeps its state process-wide, so every operation on the player
// is a job queued here, while the mount's other threads answer from the
// listing cache. Once the player has gone every job fails with ENODEV.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace qrm284::mount {

class DeviceThread {
public:
    // `present` asks the player (on this thread); `onGone` runs once, on this
    // thread, when it stops answering.
    DeviceThread(std::function<bool()> present, std::function<void()> onGone);
    ~DeviceThread();   // finishes the queued jobs' callers with ENODEV and stops
    DeviceThread(const DeviceThread&) = delete;
    DeviceThread& operator=(const DeviceThread&) = delete;

    // Runs `job` on the thread and waits for it: its result (0 or an errno),
    // ENODEV without running it once the player has gone.
    int Run(const std::function<int()>& job);
    // Queues `job` without waiting; `dropped` runs instead (on the caller's
    // or this thread) when the player has gone.
    void Post(std::function<void()> job, std::function<void()> dropped);

    // Called from a job whose operation failed: whether the player still
    // answers. When not, the player counts as gone from then on.
    bool CheckPresence();
    bool Gone() const;

private:
    struct Job {
        std::function<void()> run;
        std::function<void()> dropped;
    };
    void Loop();
    void MarkGone();

    std::function<bool()> present_;
    std::function<void()> onGone_;
    mutable std::mutex mutex_;
    std::condition_variable queued_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    bool gone_ = false;
    std::thread thread_;
};

} // namespace qrm284::mount

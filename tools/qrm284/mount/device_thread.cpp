#include "tools/qrm284/mount/device_thread.h"

#include <cerrno>
#include <chrono>
#include <future>

namespace qrm284::mount {

namespace {

// While idle the thread asks after the player this often, so that an unplug
// unmounts at once and not at the next operation.
constexpr auto PresencePeriod = std::chrono::seconds(2);

} // namespace

DeviceThread::DeviceThread(std::function<bool()> present, std::function<void()> onGone)
    : present_(std::move(present)), onGone_(std::move(onGone)), thread_([this] { Loop(); }) {}

DeviceThread::~DeviceThread() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    queued_.notify_all();
    thread_.join();
}

int DeviceThread::Run(const std::function<int()>& job) {
    auto result = std::make_shared<std::promise<int>>();
    std::future<int> future = result->get_future();
    Post([job, result] { result->set_value(job()); }, [result] { result->set_value(ENODEV); });
    return future.get();
}

void DeviceThread::Post(std::function<void()> job, std::function<void()> dropped) {
    {
        std::lock_guard lock(mutex_);
        if (!gone_ && !stopping_) {
            jobs_.push_back({std::move(job), std::move(dropped)});
            queued_.notify_all();
            return;
        }
    }
    dropped();
}

bool DeviceThread::CheckPresence() {
    if (Gone()) {
        return false;
    }
    if (present_()) {
        return true;
    }
    MarkGone();
    return false;
}

bool DeviceThread::Gone() const {
    std::lock_guard lock(mutex_);
    return gone_;
}

void DeviceThread::MarkGone() {
    std::deque<Job> dropped;
    {
        std::lock_guard lock(mutex_);
        if (gone_) {
            return;
        }
        gone_ = true;
        dropped.swap(jobs_);
    }
    for (Job& job : dropped) {
        job.dropped();
    }
    onGone_();
}

void DeviceThread::Loop() {
    std::unique_lock lock(mutex_);
    while (true) {
        const bool woken = queued_.wait_for(lock, PresencePeriod, [this] { return stopping_ || !jobs_.empty(); });
        if (!jobs_.empty() && !gone_) {
            Job job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            job.run();
            lock.lock();
            continue;
        }
        if (stopping_) {
            std::deque<Job> dropped;
            dropped.swap(jobs_);
            lock.unlock();
            for (Job& job : dropped) {
                job.dropped();
            }
            return;
        }
        if (!woken && !gone_) {
            lock.unlock();
            CheckPresence();
            lock.lock();
        }
    }
}

} // namespace qrm284::mount

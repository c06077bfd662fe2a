#include "updater/wizard/worker_threads.h"

namespace updater {

void WorkerThreads::Start(std::function<void()> work) {
    std::lock_guard lock(mutex_);
    threads_.emplace_back(std::move(work));
}

void WorkerThreads::JoinAll() {
    for (;;) {
        std::vector<std::thread> threads;
        {
            std::lock_guard lock(mutex_);
            threads.swap(threads_);
        }
        if (threads.empty()) {
            return;
        }
        for (auto& thread : threads) {
            thread.join();
        }
    }
}

} // namespace updater

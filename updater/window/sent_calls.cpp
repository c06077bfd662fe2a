#include "updater/window/sent_calls.h"

#include <QMetaObject>
#include <QThread>

#include <memory>

namespace updater::window {

LRESULT SentCalls::Send(std::function<LRESULT()> call) {
    if (QThread::currentThread() == window_.thread()) {
        return call();
    }
    struct Pending {
        LRESULT result = 0;
        bool finished = false;
    };
    auto pending = std::make_shared<Pending>();
    std::unique_lock lock(mutex_);
    if (abandoned_) {
        return 0;
    }
    // Queued calls go with the window when it is destroyed.
    QMetaObject::invokeMethod(
        &window_,
        [this, pending, call = std::move(call)] {
            {
                std::lock_guard guard(mutex_);
                if (abandoned_) {
                    return;
                }
            }
            const LRESULT result = call();
            std::lock_guard guard(mutex_);
            pending->result = result;
            pending->finished = true;
            finished_.notify_all();
        },
        Qt::QueuedConnection);
    finished_.wait(lock, [&] { return pending->finished || abandoned_; });
    return pending->result;
}

void SentCalls::Abandon() {
    std::lock_guard lock(mutex_);
    abandoned_ = true;
    finished_.notify_all();
}

} // namespace updater::window

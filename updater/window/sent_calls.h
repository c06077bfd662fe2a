// Messages sent to the window from other threads: the call runs on the
// window's thread while the sender waits, as a sent message makes its sender
// wait. A blocking-queued connection does the same but cannot be abandoned:
// a window that waits for its workers as it closes would wait for ever on a
// worker that waits for the window.
#pragma once

#include "updater/wizard/sheet.h"

#include <QObject>

#include <condition_variable>
#include <functional>
#include <mutex>

namespace updater::window {

class SentCalls {
public:
    explicit SentCalls(QObject& window) : window_(window) {}
    SentCalls(const SentCalls&) = delete;
    SentCalls& operator=(const SentCalls&) = delete;

    // Runs `call` on the window's thread and returns its result; at once
    // when called there. Once abandoned, another thread's call is dropped
    // and 0 returned.
    LRESULT Send(std::function<LRESULT()> call);
    // The window closes: waiting senders go on, later ones return at once.
    void Abandon();

private:
    QObject& window_;
    std::mutex mutex_;
    std::condition_variable finished_;
    bool abandoned_ = false;
};

} // namespace updater::window

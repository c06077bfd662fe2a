#include "platform/window/window_messages.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

struct PlatformWindow {
    platform::WindowProcedure procedure;
    std::thread::id owner;
};

namespace platform {

namespace {

struct SentMessage {
    MSG message;
    LRESULT result = 0;
    bool done = false;
};

struct ThreadQueue {
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
};

std::mutex queueMutex;
std::condition_variable sentDone;

std::map<std::thread::id, ThreadQueue>& Queues() {
    static std::map<std::thread::id, ThreadQueue> queues;
    return queues;
}

std::map<HWND, std::unique_ptr<PlatformWindow>>& Windows() {
    static std::map<HWND, std::unique_ptr<PlatformWindow>> windows;
    return windows;
}

// The procedure of a live window, or none.
WindowProcedure ProcedureOf(HWND window) {
    std::lock_guard lock(queueMutex);
    auto found = Windows().find(window);
    return found != Windows().end() ? found->second->procedure : WindowProcedure{};
}

} // namespace

HWND CreateMessageWindow(WindowProcedure procedure) {
    auto window = std::make_unique<PlatformWindow>();
    window->procedure = std::move(procedure);
    window->owner = std::this_thread::get_id();
    HWND handle = window.get();
    std::lock_guard lock(queueMutex);
    Windows().emplace(handle, std::move(window));
    return handle;
}

void DestroyMessageWindow(HWND window) {
    std::lock_guard lock(queueMutex);
    auto found = Windows().find(window);
    if (found == Windows().end()) {
        return;
    }
    auto& queue = Queues()[found->second->owner];
    std::erase_if(queue.posted, [window](const MSG& message) { return message.hwnd == window; });
    for (auto& sent : queue.sent) {
        if (sent->message.hwnd == window) {
            sent->done = true;
        }
    }
    std::erase_if(queue.sent, [window](const auto& sent) { return sent->message.hwnd == window; });
    Windows().erase(found);
    sentDone.notify_all();
}

bool IsWindow(HWND window) {
    std::lock_guard lock(queueMutex);
    return Windows().count(window) != 0;
}

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::unique_lock lock(queueMutex);
    auto found = Windows().find(window);
    if (found == Windows().end()) {
        return 0;
    }
    if (found->second->owner == std::this_thread::get_id()) {
        WindowProcedure procedure = found->second->procedure;
        lock.unlock();
        return procedure ? procedure(window, message, wParam, lParam) : 0;
    }
    auto sent = std::make_shared<SentMessage>();
    sent->message = {window, message, wParam, lParam};
    Queues()[found->second->owner].sent.push_back(sent);
    sentDone.wait(lock, [&] { return sent->done; });
    return sent->result;
}

bool PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::lock_guard lock(queueMutex);
    std::thread::id owner = std::this_thread::get_id();
    if (window != nullptr) {
        auto found = Windows().find(window);
        if (found == Windows().end()) {
            return false;
        }
        owner = found->second->owner;
    }
    Queues()[owner].posted.push_back({window, message, wParam, lParam});
    return true;
}

void DeliverSentMessages() {
    for (;;) {
        std::unique_lock lock(queueMutex);
        auto& queue = Queues()[std::this_thread::get_id()];
        if (queue.sent.empty()) {
            return;
        }
        auto sent = queue.sent.front();
        queue.sent.pop_front();
        lock.unlock();
        WindowProcedure procedure = ProcedureOf(sent->message.hwnd);
        const LRESULT result = procedure ? procedure(sent->message.hwnd, sent->message.message,
                                                     sent->message.wParam, sent->message.lParam)
                                         : 0;
        lock.lock();
        sent->result = result;
        sent->done = true;
        sentDone.notify_all();
    }
}

bool PeekMessage(MSG& message, bool remove) {
    DeliverSentMessages();
    std::lock_guard lock(queueMutex);
    auto& queue = Queues()[std::this_thread::get_id()];
    if (queue.posted.empty()) {
        return false;
    }
    message = queue.posted.front();
    if (remove) {
        queue.posted.pop_front();
    }
    return true;
}

} // namespace platform

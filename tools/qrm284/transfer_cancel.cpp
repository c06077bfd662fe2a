#include "tools/qrm284/transfer_cancel.h"

#include <atomic>
#include <csignal>
#include <utility>

namespace qrm284 {

namespace {

// Lock-free, so that setting it from a signal handler is safe.
std::atomic<int> cancelFlag{0};
static_assert(std::atomic<int>::is_always_lock_free);

std::function<void(uint64_t)>& Observer() {
    static std::function<void(uint64_t)> observer;
    return observer;
}

// A second signal, while the first is still being acted on, ends the
// program at once, as it would without the handler.
extern "C" void OnInterrupt(int signalNumber) {
    if (cancelFlag.exchange(1) != 0) {
        std::signal(signalNumber, SIG_DFL);
        std::raise(signalNumber);
    }
}

struct sigaction previousInt;
struct sigaction previousTerm;

} // namespace

CancelOnInterrupt::CancelOnInterrupt() {
    cancelFlag.store(0);
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;   // the block under way finishes; the check after it stops the transfer
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
}

CancelOnInterrupt::~CancelOnInterrupt() {
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
}

bool CancelRequested() { return cancelFlag.load() != 0; }

void RequestCancel() { cancelFlag.store(1); }

void SetBlockObserver(std::function<void(uint64_t done)> observer) { Observer() = std::move(observer); }

void ObserveBlock(uint64_t done) {
    if (Observer()) {
        Observer()(done);
    }
}

} // namespace qrm284

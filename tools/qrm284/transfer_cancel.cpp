#include "tools/qrm284/transfer_cancel.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <utility>

#include <unistd.h>

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

std::atomic<const char*> heldLine{nullptr};
static_assert(std::atomic<const char*>::is_always_lock_free);

extern "C" void OnHeldInterrupt(int /*signalNumber*/) {
    cancelFlag.store(1);
    if (const char* line = heldLine.load(); line != nullptr) {
        const ssize_t ignored = ::write(STDERR_FILENO, line, std::strlen(line));
        static_cast<void>(ignored);
    }
}

struct sigaction previousInt;
struct sigaction previousTerm;

void Install(void (*handler)(int)) {
    cancelFlag.store(0);
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;   // the block under way finishes; the check after it stops the transfer
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
}

void Restore() {
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
}

} // namespace

CancelOnInterrupt::CancelOnInterrupt() { Install(OnInterrupt); }

CancelOnInterrupt::~CancelOnInterrupt() { Restore(); }

HoldInterrupts::HoldInterrupts() { Install(OnHeldInterrupt); }

HoldInterrupts::~HoldInterrupts() {
    Restore();
    heldLine.store(nullptr);
}

void HoldInterrupts::Say(const char* line) { heldLine.store(line); }

bool CancelRequested() { return cancelFlag.load() != 0; }

void RequestCancel() { cancelFlag.store(1); }

void SetBlockObserver(std::function<void(uint64_t done)> observer) { Observer() = std::move(observer); }

void ObserveBlock(uint64_t done) {
    if (Observer()) {
        Observer()(done);
    }
}

} // namespace qrm284

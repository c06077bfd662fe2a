// Ctrl-C during put and get: SIGINT or SIGTERM only raises a flag, and the
// transfer looks at it between blocks, so that it can end the file on the
// player and on this computer cleanly instead of dying mid-block.
#pragma once

#include <cstdint>
#include <functional>

namespace qrm284 {

// While one lives, SIGINT and SIGTERM raise the cancel flag (cleared when it
// starts), and a second one ends the program; the handlers in force before
// come back when it ends.
class CancelOnInterrupt {
public:
    CancelOnInterrupt();
    ~CancelOnInterrupt();
    CancelOnInterrupt(const CancelOnInterrupt&) = delete;
    CancelOnInterrupt& operator=(const CancelOnInterrupt&) = delete;
};

// Around the steps of update and format that must not stop halfway (the
// firmware written, a storage formatted, the font): while one lives, SIGINT
// and SIGTERM only raise the cancel flag (cleared when it starts) and print
// the sentence set by Say, however often they come; the step runs to its end
// and its caller looks at the flag then. The handlers in force before come
// back when it ends.
class HoldInterrupts {
public:
    HoldInterrupts();
    ~HoldInterrupts();
    HoldInterrupts(const HoldInterrupts&) = delete;
    HoldInterrupts& operator=(const HoldInterrupts&) = delete;

    // The line (with its line end, static storage) each signal prints on
    // stderr from now on; null prints nothing.
    static void Say(const char* line);
};

// True once the transfer should stop.
bool CancelRequested();
// Raises the flag as the signal handler does; safe in a signal handler.
void RequestCancel();

// Called after each block a transfer moved with the bytes moved of the item
// so far; for tests, which cancel at a chosen block. Empty: nothing is called.
void SetBlockObserver(std::function<void(uint64_t done)> observer);
void ObserveBlock(uint64_t done);

} // namespace qrm284

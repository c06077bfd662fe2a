// How the engine's steps tell a front end how far they are: each step
// declares the phases it goes through and reports percentages within them.
// A sink turns that into a wizard page's bar and labels or a terminal's.
#pragma once

#include "updater/engine/outcome.h"

namespace updater {

enum class Phase {
    SetUp,     // the firmware step's link is open; the player is set up for the download
    Erase,     // the application code area is erased
    Program,   // the image goes to the player block by block
    Format,    // the whole storage is formatted
    Font,      // the carried font goes to the player
};

// How a phase measures itself.
enum class Pace {
    Counted,     // the player (or the host) counts: percentages follow
    Uncounted,   // the player answers once, when done; no percentages until then
};

class Progress {
public:
    virtual ~Progress() = default;

    // A phase begins.
    virtual void Begin(Phase phase, Pace pace) = 0;
    // How far the phase is, in percent. A counted erase may report past 100
    // (the player's steps run one over its total), and reports 0 when its
    // steps are over and its closing reply is awaited.
    virtual void Report(Phase phase, int percent) = 0;
    // The phase is over, with what happened. Every phase that began ends;
    // an erase also ends when it fails before its pace is known, and a
    // format begins before its link opens, so that it ends without one.
    virtual void End(Phase phase, Outcome outcome) = 0;
};

} // namespace updater

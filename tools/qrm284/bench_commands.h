// The commands that take --all, run on every connected player (bench_supervisor.h).
#pragma once

namespace qrm284 {

// update --all: each player brought to the carried firmware; the exit status
// is 0 only when every one got there (or, with dryRun, was read).
int RunUpdateOnEveryPlayer(bool json, bool dryRun, unsigned jobs);
// put --all: the same files on every player, with the 8.3 name each got there.
int RunPutOnEveryPlayer(bool json, unsigned jobs);
// info --all and ls --all: the players side by side.
int RunInfoOnEveryPlayer(bool json, unsigned jobs);
int RunLsOnEveryPlayer(bool json, unsigned jobs);

} // namespace qrm284

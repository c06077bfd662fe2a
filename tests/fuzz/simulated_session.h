// For targets that read through the protocol library: the in-process
// simulated player, with time-outs short enough that a reply the input
// withholds fails at once (every reply that comes is already waiting).
#pragma once

#include "portio/protocol_session.h"
#include "tests/fuzz/fuzz_check.h"

#include <cstdlib>

namespace fuzzcheck {

inline void UseSimulatedPlayer() {
    ::setenv("KVX512_USB", "sim", 1);
    portio::Session().SetTimeouts(1, 1);
    Require(portio::Session().QueryVersion().has_value(), "the simulated player identifies");
}

} // namespace fuzzcheck

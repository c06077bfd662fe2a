// The emulated USB of the test process (see emulated_player_environment.cpp):
// the bus's first player is plugged in at port 1-1 before any test runs.
#pragma once

#include "sim/server/usb_device.h"
#include "tests/support/emulated_usb.h"

#include <cstddef>

namespace testsupport {

// Null when umockdev cannot emulate players here (every test is skipped then).
EmulatedUsb* TheEmulatedUsb();

// The bus's player at `index`, looked up for every request (tests replace
// players); a detached one while there is none.
kvx512sim::server::PlayerSource BusPlayer(size_t index);

} // namespace testsupport

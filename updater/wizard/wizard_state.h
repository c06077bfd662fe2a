// The process-wide state the wizard's pages and workers share. The message
// order between the workers and the window thread is what keeps it settled;
// the flags are atomic only so that the threads see each other's writes.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace updater {

// A long operation runs; Cancel clicks are swallowed.
extern std::atomic<int32_t> g_bBusy;
// The firmware has been written and the player is to come back in USB mode.
extern std::atomic<int32_t> g_bReconnectExpected;
// The last identity read found application firmware (1) or boot code (0).
extern std::atomic<uint8_t> g_bAppFirmware;
// Packed version number of the running firmware (0x14322 stands for 1.43.22).
extern std::atomic<uint32_t> g_dwPlayerVersion;
// One label text on its way to page 4 with WM_WIZ_LABEL.
extern std::string g_strStepText;

// All of the above back to zero and empty, as at start (for tests and for a
// front end that runs the wizard more than once).
void ResetWizardState();

} // namespace updater

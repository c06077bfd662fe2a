#include "updater/wizard/wizard_state.h"

namespace updater {

std::atomic<int32_t> g_bBusy{0};
std::atomic<int32_t> g_bReconnectExpected{0};
std::atomic<uint8_t> g_bAppFirmware{0};
std::atomic<uint32_t> g_dwPlayerVersion{0};
std::string g_strStepText;

void ResetWizardState() {
    g_bBusy = 0;
    g_bReconnectExpected = 0;
    g_bAppFirmware = 0;
    g_dwPlayerVersion = 0;
    g_strStepText.clear();
}

} // namespace updater

#include "updater/wizard/player_detection.h"

#include "updater/engine/player_wait.h"
#include "updater/wizard/wizard_state.h"

namespace updater {

unsigned PlayerDetectWorker(Sheet& sheet) {
    if (WaitForPlayer([&sheet] { return sheet.Closing(); }) != Outcome::Done) {
        return 0;
    }
    if (g_bReconnectExpected) {
        PostButtons(sheet, PSWIZB_NEXT);
        g_bReconnectExpected = 0;
    } else {
        PostButtons(sheet, PSWIZB_BACK | PSWIZB_NEXT);
    }
    return 1;
}

} // namespace updater

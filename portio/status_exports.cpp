// Presence, status and time-out exports.
#include "portio.h"
#include "portio/protocol_state.h"

using namespace portio;

extern "C" PORTIO_API int dll_fn_FindDeivce(void) { return Link().IsPlayerPresent() ? 0 : 1; }

extern "C" PORTIO_API void dll_fn_SetTimeout(int readTimeoutMs, int writeTimeoutMs) {
    LinkLayer::SetTimeouts(readTimeoutMs, writeTimeoutMs);
}

extern "C" PORTIO_API int dll_fn_get_player_status(void) {
    if (!Link().IsPlayerPresent()) {
        return 1;
    }
    if (!OpenCurrentLink()) {
        return 2;
    }
    CloseCurrentLink();
    return 0;
}

extern "C" PORTIO_API int dll_fn_IsDockDeivce(void) { return dll_fn_get_player_status(); }

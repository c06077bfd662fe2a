// Deleting a file and swapping two files, both named by file position.
#include "portio.h"
#include "portio/byte_order.h"
#include "portio/protocol_state.h"
#include "portio/reply_block.h"

using namespace portio;

extern "C" PORTIO_API int dll_fn_delete_file(int position, int storage) {
    if (!IsPlayerReachable() || !OpenCurrentLink()) {
        return 2;
    }
    uint8_t payload[2];
    StoreBe16(payload, static_cast<uint16_t>(position));
    Block reply{};
    if (const int failed = Exchange(FormGroupCode, storage, 'E', payload, sizeof payload, reply)) {
        return failed;
    }
    CloseCurrentLink();
    return IsOkReply(reply.data()) ? 0 : 3;
}

extern "C" PORTIO_API int dll_fn_Replace_file(int first, int second, int storage) {
    if (!OpenCurrentLink()) {
        return 2;
    }
    uint8_t payload[4];
    StoreBe16(payload, static_cast<uint16_t>(first));
    StoreBe16(payload + 2, static_cast<uint16_t>(second));
    Block reply{};
    if (const int failed = Exchange(FormGroupCode, storage, 'P', payload, sizeof payload, reply)) {
        return failed;
    }
    if (IsOkReply(reply.data())) {
        return 0;
    }
    CloseCurrentLink();
    return 3;
}

// Reading a file: "R" for a file position, two answer blocks, then the data phase.
#include "portio.h"
#include "portio/byte_order.h"
#include "portio/data_phase.h"
#include "portio/protocol_state.h"

using namespace portio;

extern "C" PORTIO_API int dll_fn_Open_Readfile(FileRecord /*record*/, int storage, int position) {
    if (!IsPlayerReachable() || !OpenCurrentLink()) {
        return 2;
    }
    uint8_t payload[2];
    StoreBe16(payload, static_cast<uint16_t>(position));
    if (!SendCommand(CurrentLink(), FormGroupCode, storage, 'R', payload, sizeof payload)) {
        CloseCurrentLink();
        return 5;
    }
    // Two answer blocks precede the data; neither is examined.
    Block answer{};
    for (int block = 0; block < 2; ++block) {
        if (!ReadReply(CurrentLink(), answer)) {
            CloseCurrentLink();
            return 3;
        }
    }
    return 0;
}

extern "C" PORTIO_API int dll_fn_Read_file(void* buffer, uint32_t size) {
    if (CurrentLink() == nullptr || size == 0 || buffer == nullptr) {
        return 3;
    }
    return ReadData(static_cast<uint8_t*>(buffer), size) ? 0 : 3;
}

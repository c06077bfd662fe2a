// Writing a file: "W" with its entries, then the data phase.
#include "portio.h"
#include "portio/data_phase.h"
#include "portio/file_entries.h"
#include "portio/protocol_state.h"
#include "portio/reply_block.h"

using namespace portio;

namespace {

constexpr uint8_t ErrorNoRoom = 0x27;
constexpr uint8_t ErrorFolderFullOrNameTaken = 0x19;

} // namespace

extern "C" PORTIO_API int dll_fn_Open_Writefile(FileRecord record, int storage) {
    // A name the block cannot carry is refused before anything reaches the player.
    const auto payload = BuildFileWritePayload(record);
    if (!payload) {
        return 5;
    }
    if (!IsPlayerReachable() || !OpenCurrentLink()) {
        return 2;
    }
    Block reply{};
    if (const int failed = Exchange(FormFileWrite, storage, 'W', payload->data(), payload->size(), reply)) {
        return failed;
    }
    if (IsOkReply(reply.data())) {
        return 0;
    }
    CloseCurrentLink();
    if (reply[2] == 4 && reply[4] == 1) {
        if (reply[5] == ErrorNoRoom) {
            return 6;
        }
        if (reply[5] == ErrorFolderFullOrNameTaken) {
            return 8;
        }
    }
    return 3;
}

extern "C" PORTIO_API int dll_fn_Write_file(const void* data, uint32_t size) {
    if (CurrentLink() == nullptr || size == 0 || data == nullptr) {
        return 0;
    }
    return WriteData(static_cast<const uint8_t*>(data), size) ? 0 : 4;
}

extern "C" PORTIO_API int dll_fn_Close_Writefile(void) {
    CloseCurrentLink();
    return 0;
}

// One entry point under both names.
extern "C" PORTIO_API int dll_fn_Close_Readfile(void) __attribute__((alias("dll_fn_Close_Writefile")));

// Deleting and reordering files on the player.
#include "plrapi.h"
#include "plrapi/file_positions.h"
#include "plrapi/process_state.h"

#include <algorithm>

using plrapi::LastError;

long CDeviceAPI::PlrDeleteByindex(int storage, int position) {
    plrapi::DeviceState* state = plrapi::OpenState();
    if (state == nullptr) {
        return 0;
    }
    const auto row = plrapi::RowOfFile(*state, position);
    if (!row) {
        return plrapi::Fail(LastError::PositionOutOfRange);
    }
    if (dll_fn_delete_file(position, storage) != 0) {
        return plrapi::Fail(LastError::DeleteRefused);
    }
    // The cache follows the player without listing again.
    auto& table = state->table;
    const auto first = table.begin() + *row;
    const auto end = table.begin() + state->entryCount;
    std::copy(first + 1, end, first);
    *(end - 1) = FileRecord{};
    --state->entryCount;
    return 1;
}

long CDeviceAPI::PlrSortByIndex(int from, int to) {
    plrapi::DeviceState* state = plrapi::OpenState();
    if (state == nullptr) {
        return 0;
    }
    if (!plrapi::IsCachedRow(*state, from) || !plrapi::IsCachedRow(*state, to)) {
        return plrapi::Fail(LastError::PositionOutOfRange);
    }
    // A folder made after the files is listed after them, so each row's file
    // position is counted, not derived from the number of folders.
    if (plrapi::IsPlainFolderRow(*state, from)) {
        return 0;
    }
    int file = plrapi::FileRowsBefore(*state, from);
    const int files = plrapi::FileRowsBefore(*state, state->entryCount);
    const int target = std::min(plrapi::FileRowsBefore(*state, to), files - 1);
    // One place at a time; the player's answers are not looked at.
    while (file > target) {
        dll_fn_Replace_file(file, file - 1, state->storageIndex);
        --file;
    }
    while (file < target) {
        dll_fn_Replace_file(file, file + 1, state->storageIndex);
        ++file;
    }
    return 1;
}

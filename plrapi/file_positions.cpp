#include "plrapi/file_positions.h"

#include <algorithm>

namespace plrapi {

namespace {

constexpr uint8_t FolderAttribute = 0x10;

int CachedRows(const DeviceState& state) {
    return state.entryCount < 0 ? 0 : state.entryCount > TableRows ? TableRows : state.entryCount;
}

} // namespace

bool IsFolderRow(const FileRecord& row) { return (row.attribute & FolderAttribute) != 0; }

bool IsCachedRow(const DeviceState& state, int position) { return position >= 0 && position < CachedRows(state); }

std::optional<int> RowOfFile(const DeviceState& state, int position) {
    if (position < 0) {
        return std::nullopt;
    }
    int files = 0;
    for (int row = 0; row < CachedRows(state); ++row) {
        if (!IsFolderRow(state.table[static_cast<size_t>(row)]) && files++ == position) {
            return row;
        }
    }
    return std::nullopt;
}

bool IsPlainFolderRow(const DeviceState& state, int row) {
    return IsCachedRow(state, row) && state.table[static_cast<size_t>(row)].attribute == FolderAttribute;
}

int FileRowsBefore(const DeviceState& state, int row) {
    int files = 0;
    for (int before = 0; before < std::min(row, CachedRows(state)); ++before) {
        files += IsPlainFolderRow(state, before) ? 0 : 1;
    }
    return files;
}

} // namespace plrapi

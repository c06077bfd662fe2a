// The cached listing counted two ways: table positions count every row,
// file positions (what portio's delete and reorder take) only the rows that
// are not folders.
#pragma once

#include "plrapi/device_state.h"

#include <optional>

namespace plrapi {

// A row counts as a folder for file positions when attribute bit 0x10 is set.
bool IsFolderRow(const FileRecord& row);

// True when `position` names a cached row.
bool IsCachedRow(const DeviceState& state, int position);

// The cached row of the file at `position`; none outside the cached files.
std::optional<int> RowOfFile(const DeviceState& state, int position);

// Reordering counts as folders only the rows whose attribute is exactly
// 0x10: the rows before `row` that are not such folders (row may be the
// entry count, counting every cached row).
int FileRowsBefore(const DeviceState& state, int row);
bool IsPlainFolderRow(const DeviceState& state, int row);

} // namespace plrapi

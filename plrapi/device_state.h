// The cache every CDeviceAPI member works on: the listing of the current
// storage and folder, the current record, the device texts and figures.
#pragma once

#include "portio.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace plrapi {

inline constexpr int TableRows = 256;

class DeviceState {
public:
    virtual ~DeviceState() = default;

    std::array<FileRecord, TableRows> table{};
    FileRecord current{};   // what the library's CPDFileInfo getters report
    char version[22]{};
    char playerId[10]{};
    char playerName[14]{};
    uint32_t totalSpace = 0;
    uint32_t freeSpace = 0;
    int32_t storageIndex = 0;   // of the cached listing and of a transfer
    int32_t entryCount = 0;     // files and folders cached; never above TableRows
    int32_t folderCount = 0;
};

} // namespace plrapi

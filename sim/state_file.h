// The player's storages, folders, files and font in a file of its own, so
// that a server can keep them from one run to the next.
#pragma once

#include "sim/storage.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace kvx512sim {

struct PlayerState {
    struct StorageState {
        bool present = true;
        uint16_t capacityUnits = 0;
        Storage::State contents;
    };
    std::array<StorageState, 2> storages;
    std::string fontName;
    std::vector<uint8_t> fontData;
};

// Little-endian binary after a text magic line; see state_file.cpp.
bool WriteStateFile(const std::string& path, const PlayerState& state);
// Nullopt for a missing, truncated or inconsistent file.
std::optional<PlayerState> ReadStateFile(const std::string& path);

} // namespace kvx512sim

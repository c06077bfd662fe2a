// The player's own reading of a 512-byte command block.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kvx512sim {

struct Command {
    char group = 0;                 // 'G', 'C', 'M', 'S', 'U'; 0 for "Y"
    std::string code;               // "Y", "E", "GG", "DM", ...
    uint8_t lengthByte = 0;
    std::vector<uint8_t> payload;   // what stands between the code and the closing '.'
    std::vector<uint8_t> block;     // the whole block as received
};

// Recognises the block by its frame and its code; nullopt for anything that is
// not a command (wrong frame, unknown code, payload running off the block).
std::optional<Command> DecodeCommand(const uint8_t* data, uint32_t length);

} // namespace kvx512sim

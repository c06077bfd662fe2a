// What the tests look for in the simulated player's transcript.
#pragma once

#include "sim/transcript.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace testsupport {

// A whole 512-byte command block: '#', 0, its length, ':', then the group letter.
inline bool IsCommandBlock(const std::vector<uint8_t>& bytes) {
    return bytes.size() == 512 && bytes[0] == '#' && bytes[1] == 0 && bytes[3] == ':';
}

// The command blocks written to pipe 0x02 but the identification "Y" each link sends, in order.
inline std::vector<std::vector<uint8_t>> CommandBlocks(const kvx512sim::Transcript& transcript) {
    std::vector<std::vector<uint8_t>> commands;
    for (auto& write : transcript.Writes()) {
        if (IsCommandBlock(write) && write[4] != 'Y') {
            commands.push_back(std::move(write));
        }
    }
    return commands;
}

// The vendor requests on pipe 0 that tell the player to drop what it is doing.
inline int CancelRequests(const kvx512sim::Transcript& transcript) {
    int count = 0;
    for (const auto& transfer : transcript.Transfers()) {
        count += transfer.pipe == 0 && transfer.setup[0] == 0x40 && transfer.setup[1] == 0x01 ? 1 : 0;
    }
    return count;
}

} // namespace testsupport

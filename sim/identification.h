// What the simulated player says about itself in answer to "Y".
#pragma once

#include "sim/sim_export.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kvx512sim {

struct KVX512SIM_API Identification {
    std::string signature = "KORVANEXT KVX512 FILE SYSTEM";
    std::vector<std::string> words = {"FS2", "FAT16", "USB2"};   // skipped by every host
    std::string identity = "APPL";                                // "BOOT" while in boot code
    std::string version = "1.4310";
    // When set, replaces the whole text (for malformed identifications).
    std::optional<std::string> rawText;

    // The text from offset 4 of the reply on.
    std::string Text() const;
};

// The reply block for an identification text: '#', 0, L, ':', text, '.'.
// Texts longer than the length byte can count are cut.
std::vector<uint8_t> IdentificationReply(const std::string& text);

} // namespace kvx512sim

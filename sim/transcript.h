// The simulated player's record of every request it was given.
#pragma once

#include "sim/sim_export.h"
#include "sim/usb_request.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kvx512sim {

struct TranscriptEntry {
    enum class Kind { SetInterface, Transfer };
    Kind kind = Kind::Transfer;
    uint32_t pipe = 0;
    bool in = false;
    uint32_t options = 0;
    std::array<uint8_t, 8> setup{};
    uint32_t timeoutMs = 0;
    uint32_t requested = 0;             // the size the host asked for
    std::vector<uint8_t> bytes;         // OUT: what the host sent; IN: what went back
    UsbStatus status = UsbStatus::Success;
};

class KVX512SIM_API Transcript {
public:
    void Add(TranscriptEntry entry) { entries_.push_back(std::move(entry)); }
    void Clear() { entries_.clear(); }
    const std::vector<TranscriptEntry>& Entries() const { return entries_; }

    // The transfers only, in order.
    std::vector<TranscriptEntry> Transfers() const;
    // Everything written to pipe 0x02, one element per transfer.
    std::vector<std::vector<uint8_t>> Writes() const;
    // A readable dump for --verbose and for failing tests.
    std::string Describe() const;

private:
    std::vector<TranscriptEntry> entries_;
};

} // namespace kvx512sim

#include "sim/transcript.h"

#include <cstdio>

namespace kvx512sim {

std::vector<TranscriptEntry> Transcript::Transfers() const {
    std::vector<TranscriptEntry> transfers;
    for (const auto& entry : entries_) {
        if (entry.kind == TranscriptEntry::Kind::Transfer) {
            transfers.push_back(entry);
        }
    }
    return transfers;
}

std::vector<std::vector<uint8_t>> Transcript::Writes() const {
    std::vector<std::vector<uint8_t>> writes;
    for (const auto& entry : entries_) {
        if (entry.kind == TranscriptEntry::Kind::Transfer && entry.pipe == 0x02 && !entry.in) {
            writes.push_back(entry.bytes);
        }
    }
    return writes;
}

std::string Transcript::Describe() const {
    std::string text;
    char line[160];
    for (const auto& entry : entries_) {
        if (entry.kind == TranscriptEntry::Kind::SetInterface) {
            text += "set-interface\n";
            continue;
        }
        std::snprintf(line, sizeof line, "pipe %02X %s options %u size %u timeout %u status %u:",
                      entry.pipe, entry.in ? "IN " : "OUT", entry.options, entry.requested,
                      entry.timeoutMs, static_cast<unsigned>(entry.status));
        text += line;
        const size_t shown = entry.bytes.size() < 16 ? entry.bytes.size() : 16;
        for (size_t i = 0; i < shown; ++i) {
            std::snprintf(line, sizeof line, " %02X", entry.bytes[i]);
            text += line;
        }
        if (entry.bytes.size() > shown) {
            text += " ...";
        }
        text += '\n';
    }
    return text;
}

} // namespace kvx512sim

// Voice recordings: the player takes IMA ADPCM, mono, 8 kHz, 256-byte blocks,
// in a WAV file whose data begins at byte 48.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qrm284 {

struct VoiceCheck {
    bool isWav = false;                   // a RIFF WAVE file at all
    std::optional<std::vector<uint8_t>> packed;   // the 48-byte-header form, when acceptable
    std::string problem;                  // why not, when a WAV but not acceptable
};

// Reads the WAV in `bytes`; other chunks (fact, LIST, ...) are dropped.
VoiceCheck PackVoiceWav(const std::vector<uint8_t>& bytes);

// The sox command line that turns `input` into what the player takes.
std::string SoxCommandFor(const std::string& input);
// The ffmpeg command line that turns music in `input` into an MP3 file beside it.
std::string Mp3CommandFor(const std::string& input);

} // namespace qrm284

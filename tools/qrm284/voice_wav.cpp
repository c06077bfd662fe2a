#include "tools/qrm284/voice_wav.h"

#include "plrapi/voice_wav_header.h"
#include "wire/byte_order.h"

#include <algorithm>
#include <cstring>

namespace qrm284 {

namespace {

constexpr uint16_t FormatImaAdpcm = 0x0011;
constexpr uint16_t BlockBytes = 256;

using wire::LoadLe16;
using wire::LoadLe32;

} // namespace

VoiceCheck PackVoiceWav(const std::vector<uint8_t>& bytes) {
    VoiceCheck check;
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        return check;
    }
    check.isWav = true;
    const uint8_t* fmt = nullptr;
    uint32_t fmtSize = 0;
    const uint8_t* data = nullptr;
    uint32_t dataSize = 0;
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const uint32_t size = LoadLe32(bytes.data() + at + 4);
        const size_t body = at + 8;
        const size_t available = bytes.size() - body;
        if (std::memcmp(bytes.data() + at, "fmt ", 4) == 0 && size <= available) {
            fmt = bytes.data() + body;
            fmtSize = size;
        } else if (std::memcmp(bytes.data() + at, "data", 4) == 0) {
            // A writer that could not seek back may leave the length too large.
            data = bytes.data() + body;
            dataSize = static_cast<uint32_t>(std::min<size_t>(size, available));
            break;
        }
        if (size > available) {
            break;
        }
        at = body + size + (size & 1);
    }
    if (fmt == nullptr || fmtSize < 16 || data == nullptr) {
        check.problem = "is a WAV file without a readable format or data chunk";
        return check;
    }
    const uint16_t format = LoadLe16(fmt);
    const uint16_t channels = LoadLe16(fmt + 2);
    const uint32_t rate = LoadLe32(fmt + 4);
    const uint16_t blockAlign = LoadLe16(fmt + 12);
    if (format != FormatImaAdpcm || channels != 1 || rate != 8000 || blockAlign != BlockBytes) {
        check.problem = "is not IMA ADPCM, mono, 8 kHz with 256-byte blocks";
        return check;
    }
    // The device API's own header, with this file's sizes.
    auto header = plrapi::BuildVoiceWavHeader(0);
    wire::StoreLe32(header.data() + plrapi::wav::RiffSize, static_cast<uint32_t>(plrapi::VoiceWavHeaderSize - 8 + dataSize));
    wire::StoreLe32(header.data() + plrapi::wav::DataSize, dataSize);
    std::vector<uint8_t> out;
    out.reserve(header.size() + dataSize);
    out.assign(header.begin(), header.end());
    out.insert(out.end(), data, data + dataSize);
    check.packed = std::move(out);
    return check;
}

namespace {

std::string Stem(const std::string& input) {
    std::string stem = input;
    if (const auto dot = stem.find_last_of('.'); dot != std::string::npos && stem.find('/', dot) == std::string::npos) {
        stem.erase(dot);
    }
    return stem;
}

} // namespace

std::string SoxCommandFor(const std::string& input) {
    return "sox '" + input + "' -r 8000 -c 1 -e ima-adpcm '" + Stem(input) + "-voice.wav'";
}

std::string Mp3CommandFor(const std::string& input) {
    return "ffmpeg -i '" + input + "' -codec:a libmp3lame -qscale:a 2 '" + Stem(input) + ".mp3'";
}

} // namespace qrm284

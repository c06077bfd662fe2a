#include "plrapi/voice_wav_header.h"

#include "wire/byte_order.h"
#include "plrapi/voice_blocks.h"

#include <cstring>

namespace plrapi {

using wire::LoadLe16;
using wire::LoadLe32;
using wire::StoreLe16;
using wire::StoreLe32;

namespace {

constexpr uint16_t ImaAdpcm = 0x0011;
constexpr uint16_t Mono = 1;
constexpr uint32_t VoiceSampleRate = 8000;
constexpr uint32_t VoiceByteRate = 4000;
constexpr uint16_t VoiceBitsPerSample = 4;
constexpr uint16_t VoiceExtraSize = 2;
constexpr uint16_t VoiceSamplesPerBlock = 505;
constexpr uint32_t FormatChunkSize = 20;
constexpr uint32_t RiffOverData = 40;

bool HasTag(const uint8_t* at, const char (&tag)[5]) { return std::memcmp(at, tag, 4) == 0; }

} // namespace

std::array<uint8_t, VoiceWavHeaderSize> BuildVoiceWavHeader(uint32_t storedSize) {
    const uint32_t blockSize = VoiceBlockSize;
    const uint32_t blocks = storedSize / blockSize + (storedSize % blockSize != 0 ? 1 : 0);
    const uint32_t dataSize = storedSize - static_cast<uint32_t>(VoiceMarkSize) * blocks;
    std::array<uint8_t, VoiceWavHeaderSize> header{};
    uint8_t* h = header.data();
    std::memcpy(h + wav::Riff, "RIFF", 4);
    StoreLe32(h + wav::RiffSize, dataSize + RiffOverData);
    std::memcpy(h + wav::Wave, "WAVE", 4);
    std::memcpy(h + wav::Format, "fmt ", 4);
    StoreLe32(h + wav::FormatSize, FormatChunkSize);
    StoreLe16(h + wav::FormatTag, ImaAdpcm);
    StoreLe16(h + wav::Channels, Mono);
    StoreLe32(h + wav::SampleRate, VoiceSampleRate);
    StoreLe32(h + wav::ByteRate, VoiceByteRate);
    StoreLe16(h + wav::BlockAlign, static_cast<uint16_t>(VoiceDataPerBlock));
    StoreLe16(h + wav::BitsPerSample, VoiceBitsPerSample);
    StoreLe16(h + wav::ExtraSize, VoiceExtraSize);
    StoreLe16(h + wav::SamplesPerBlock, VoiceSamplesPerBlock);
    std::memcpy(h + wav::Data, "data", 4);
    StoreLe32(h + wav::DataSize, dataSize);
    return header;
}

bool IsVoiceWavHeader(const uint8_t* h) {
    return HasTag(h + wav::Riff, "RIFF") && HasTag(h + wav::Wave, "WAVE") && HasTag(h + wav::Format, "fmt ") &&
           LoadLe32(h + wav::FormatSize) == FormatChunkSize && LoadLe16(h + wav::FormatTag) == ImaAdpcm &&
           LoadLe16(h + wav::Channels) == Mono && LoadLe32(h + wav::SampleRate) == VoiceSampleRate &&
           LoadLe16(h + wav::BlockAlign) == VoiceDataPerBlock &&
           LoadLe16(h + wav::BitsPerSample) == VoiceBitsPerSample &&
           LoadLe16(h + wav::SamplesPerBlock) == VoiceSamplesPerBlock && HasTag(h + wav::Data, "data");
}

} // namespace plrapi

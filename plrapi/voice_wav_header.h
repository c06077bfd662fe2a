// The 48-byte WAV header of a voice file on the PC: IMA ADPCM, mono,
// 8,000 Hz, 256-byte blocks of 505 samples, the data right after it. The
// player keeps the blocks without it; downloads put it back.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace plrapi {

inline constexpr size_t VoiceWavHeaderSize = 48;

// Field offsets; each field ends where the next begins.
namespace wav {
inline constexpr size_t Riff = 0;               // "RIFF"
inline constexpr size_t RiffSize = 4;           // uint32: data size + 40
inline constexpr size_t Wave = 8;               // "WAVE"
inline constexpr size_t Format = 12;            // "fmt "
inline constexpr size_t FormatSize = 16;        // uint32: 20
inline constexpr size_t FormatTag = 20;         // uint16: 0x0011, IMA ADPCM
inline constexpr size_t Channels = 22;          // uint16: 1
inline constexpr size_t SampleRate = 24;        // uint32: 8,000
inline constexpr size_t ByteRate = 28;          // uint32: 4,000
inline constexpr size_t BlockAlign = 32;        // uint16: 256
inline constexpr size_t BitsPerSample = 34;     // uint16: 4
inline constexpr size_t ExtraSize = 36;         // uint16: 2
inline constexpr size_t SamplesPerBlock = 38;   // uint16: 505
inline constexpr size_t Data = 40;              // "data"
inline constexpr size_t DataSize = 44;          // uint32
static_assert(FormatSize + 4 + 20 == Data && DataSize + 4 == VoiceWavHeaderSize);
} // namespace wav

// The header for a voice file the player stores in `storedSize` bytes of
// 260-byte blocks: its data is what remains without the 4-byte block marks.
std::array<uint8_t, VoiceWavHeaderSize> BuildVoiceWavHeader(uint32_t storedSize);

// True when the 48 bytes at `header` are a header of that form, so that the
// file's data, from byte 48 on, are the 256-byte blocks the player plays.
// The size fields are not looked at.
bool IsVoiceWavHeader(const uint8_t* header);

} // namespace plrapi

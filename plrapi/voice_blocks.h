// How the player stores a voice file: blocks of 260 bytes, each the mark
// 7F 7F 7F 7F and one 256-byte IMA ADPCM block of the WAV file; the last
// block may be shorter.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plrapi {

inline constexpr size_t VoiceMarkSize = 4;
inline constexpr uint8_t VoiceMarkByte = 0x7F;
inline constexpr size_t VoiceDataPerBlock = 256;
inline constexpr size_t VoiceBlockSize = VoiceMarkSize + VoiceDataPerBlock;

} // namespace plrapi

// Command blocks: the 512-byte frames every exchange with the player starts with.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace wire {

inline constexpr size_t BlockSize = 512;
using Block = std::array<uint8_t, BlockSize>;

// Block forms: what stands between ':' and '.'.
enum BlockForm : int {
    FormCode = 0,          // code, payload
    FormGroupCode = 1,     // group letter, code, payload
    FormGroupWord = 2,     // group letter, two-letter code, payload
    FormFileWrite = 3,     // as form 1, length byte fixed at 2
    FormGroupLength = 4,   // group letter, two-letter code, payload length (big-endian), payload
};

// Group indices -2..2 name the letters "GCMSU"; storages use 0 ('M') and 1 ('S'),
// the font 2 ('U').
inline constexpr int GroupIndexMin = -2;
inline constexpr int GroupIndexMax = 2;
inline constexpr int GroupBoot = -2;        // 'G'
inline constexpr int GroupCodeArea = -1;    // 'C'
inline constexpr int GroupMainStorage = 0;  // 'M'
inline constexpr int GroupFont = 2;         // 'U'
char GroupLetter(int groupIndex);

// A two-letter code as the 16-bit value whose low byte goes first on the wire.
constexpr uint16_t TwoLetterCode(char first, char second) {
    return static_cast<uint16_t>(static_cast<uint8_t>(first) | (static_cast<uint8_t>(second) << 8));
}

// Largest payload each form can carry inside one block.
size_t MaxPayload(int form);

// Builds a block into `block`: '#', 0, length byte, ':', the form's bytes, '.',
// zeros. False (and the block untouched) for an unknown form, a group index
// outside -2..2, or a payload that does not fit.
bool BuildCommandBlock(Block& block, int form, int groupIndex, uint16_t code, const uint8_t* payload,
                       size_t payloadLength);

} // namespace wire

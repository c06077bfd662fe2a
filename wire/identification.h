// The identification reply to "Y": the signature, three words, the identity
// word ("APPL" or "BOOT") and the version word, e.g.
// "KORVANEXT KVX512 FILE SYSTEM A B C APPL 1.4322".
#pragma once

#include "wire/command_block.h"

#include <cstdint>
#include <string>

namespace wire {

inline constexpr char PlayerSignature[] = "KORVANEXT KVX512 FILE SYSTEM";

// What the reply says. What a caller makes of a text without a usable
// version word is its own policy.
struct Identification {
    // The signature, its space and the three words are there.
    bool recognised = false;
    // From the identity word to the end of the text (at most 224 bytes).
    std::string identityText;
    // The text goes on after the three words: the identity word is there.
    bool hasIdentityWord = false;
    // What follows the identity word, packed (see ParseVersionNumber); 0 when
    // nothing follows or it is no number.
    uint32_t version = 0;
    // The identity word is "BOOT": the player runs its boot code.
    bool bootCode = false;
};

// Never reads past the text the length byte announces (which ends inside the block).
Identification ParseIdentification(const Block& reply);

} // namespace wire

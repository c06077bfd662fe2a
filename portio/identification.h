// The identification exchange "Y": signature, three skipped words, then the
// version text whose last word is the packed version number.
#pragma once

#include <cstddef>
#include <cstdint>

namespace portio {

inline constexpr char PlayerSignature[] = "KORVANEXT KVX512 FILE SYSTEM";
inline constexpr size_t VersionTextSize = 256;

// Parses an identification reply block: copies the version text into
// `text` (VersionTextSize bytes, zeroed by the caller) and gives the version number.
bool ParseIdentification(const uint8_t* reply, char* text, uint32_t& version);

// Runs "Y" on a link of its own (the current link is left alone); on success
// stores the number as FirmwareVersion.
bool QueryVersion(char* text, uint32_t& version);

} // namespace portio

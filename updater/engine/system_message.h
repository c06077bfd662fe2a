// The system's sentence for an error code, as the message table gives it.
#pragma once

#include <cstdint>
#include <string>

namespace updater {

inline constexpr uint32_t STG_E_FILENOTFOUND = 0x80030002;
inline constexpr size_t SystemMessageCapacity = 260;

// Fills `target` (SystemMessageCapacity bytes) with the system's text for
// `code`, the insert standing for its "%1", cut to fit with the terminator.
// Codes below 0x10000 are taken as errno values. Returns 1.
int SystemMessageText(uint32_t code, const std::string& insert, char* target);

} // namespace updater

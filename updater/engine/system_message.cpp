#include "updater/engine/system_message.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace updater {

namespace {

// The few message-table entries the updater asks for; "%1" takes the insert.
std::string MessageTemplate(uint32_t code) {
    if (code == STG_E_FILENOTFOUND) {
        return "%1 could not be found.";
    }
    if (code < 0x10000) {
        return std::strerror(static_cast<int>(code));
    }
    char text[48];
    std::snprintf(text, sizeof text, "Unknown error 0x%08X.", static_cast<unsigned>(code));
    return text;
}

} // namespace

int SystemMessageText(uint32_t code, const std::string& insert, char* target) {
    std::string text = MessageTemplate(code);
    if (const size_t at = text.find("%1"); at != std::string::npos) {
        text.replace(at, 2, insert);
    }
    const size_t length = std::min(text.size(), SystemMessageCapacity - 1);
    std::memcpy(target, text.data(), length);
    target[length] = '\0';
    return 1;
}

} // namespace updater

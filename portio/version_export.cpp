// The player's firmware version and model, as manager programs show them.
#include "portio.h"
#include "portio/identification.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t EmptyTextOffset = 21;
constexpr size_t ModelOffset = 29;
constexpr char ModelName[] = "QRM-284";
// The version text is cut here so that nothing lands past byte 36: the only
// caller's buffer holds 42 bytes, and the model name must stay readable.
constexpr size_t MaxShownVersion = EmptyTextOffset - 1;

} // namespace

extern "C" PORTIO_API int dll_fn_get_player_version(char* text) {
    char version[portio::VersionTextSize] = {};
    uint32_t number = 0;
    if (text == nullptr || !portio::QueryVersion(version, number)) {
        return 9;
    }
    const size_t length = std::min(std::strlen(version), MaxShownVersion);
    std::memcpy(text, version, length);
    text[length] = '\0';
    text[EmptyTextOffset] = '\0';
    std::memcpy(text + ModelOffset, ModelName, sizeof ModelName);
    return 0;
}

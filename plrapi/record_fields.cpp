#include "plrapi/record_fields.h"

#include <algorithm>
#include <cstring>

namespace plrapi {

void CopyText(char* field, size_t space, const char* source, size_t sourceBytes, size_t terminators) {
    std::memset(field, 0, space);
    if (source == nullptr || space <= terminators) {
        return;
    }
    const size_t length = std::min(strnlen(source, sourceBytes), space - terminators);
    std::memcpy(field, source, length);
}

void TrimTrailingSpaces(char* field, size_t space) {
    size_t length = strnlen(field, space);
    while (length > 0 && field[length - 1] == ' ') {
        field[--length] = '\0';
    }
}

} // namespace plrapi

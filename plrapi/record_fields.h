// Bounded access to the text fields of a FileRecord. A cached extension may
// be a long name's and then runs on from its own field through the display
// name, up to the attribute byte.
#pragma once

#include "portio.h"

#include <cstddef>

namespace plrapi {

// Bytes from the extension field to the attribute byte: 21 characters and a NUL.
inline constexpr size_t ExtensionSpace = offsetof(FileRecord, attribute) - offsetof(FileRecord, extension);
static_assert(ExtensionSpace == 22);

inline char* ExtensionOf(FileRecord& record) {
    return reinterpret_cast<char*>(&record) + offsetof(FileRecord, extension);
}
inline const char* ExtensionOf(const FileRecord& record) {
    return reinterpret_cast<const char*>(&record) + offsetof(FileRecord, extension);
}

// Clears `space` bytes at `field` and copies into it the text at `source`
// (read up to its NUL or `sourceBytes`), at most `space` - `terminators`
// characters, so that the field always ends with that many NULs.
void CopyText(char* field, size_t space, const char* source, size_t sourceBytes, size_t terminators = 1);

// Cuts trailing spaces off the text in a field of `space` bytes.
void TrimTrailingSpaces(char* field, size_t space);

} // namespace plrapi

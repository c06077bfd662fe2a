// Temporary files: in $TMPDIR (or /tmp), unique, created empty
// with mode 0600 so that no other user can read or swap them.
#pragma once

#include <string>

namespace platform {

// The directory temporary files go to.
std::string TemporaryDirectory();

// Creates an empty file named after `prefix` plus a unique tail and returns
// its path; the empty string when it cannot be created.
std::string CreateTemporaryFile(const std::string& prefix);

// Writes `size` bytes over the file at `path` (created or truncated); false
// when the file cannot be written whole.
bool WriteWholeFile(const std::string& path, const void* data, size_t size);

} // namespace platform

// Named shared-memory sections as POSIX shared memory. A section's name is
// scoped to the user (the name, a dot and the effective user ID), the way a
// session-local name is on the system the callers were designed for, and a
// section made here has mode 0600. A section obtained stays open until the
// process ends.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Opens section `name` for reading, or, when there is none, creates it
// read-write with `size` bytes. When the name is held by an object this
// user does not own, the process gets an unnamed section of its own instead,
// so that no other user can keep the caller from its section. True when the
// process holds the section; later calls with the same name reuse it.
bool OpenNamedSection(const std::string& name, size_t size) noexcept;

// The name the section has among the system's POSIX shared-memory objects.
std::string SectionObjectName(const std::string& name);

} // namespace platform

#include "platform/system/shared_memory.h"

#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::mutex sectionsMutex;

// Name -> descriptor, never closed: the sections live as long as the process.
std::map<std::string, int>& Sections() {
    static auto* sections = new std::map<std::string, int>();
    return *sections;
}

// An existing object of this user, opened for reading; -1 if there is none
// or it belongs to someone else.
int OpenOwn(const std::string& objectName) {
    const int fd = shm_open(objectName.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || status.st_uid != geteuid()) {
        close(fd);
        return -1;
    }
    return fd;
}

int CreateNamed(const std::string& objectName, size_t size) {
    const int fd = shm_open(objectName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) {
        return -1;
    }
    // The umask must not widen or narrow it.
    if (fchmod(fd, S_IRUSR | S_IWUSR) != 0 || ftruncate(fd, static_cast<off_t>(size)) != 0) {
        close(fd);
        shm_unlink(objectName.c_str());
        return -1;
    }
    return fd;
}

int CreateUnnamed(const std::string& name, size_t size) {
    const int fd = memfd_create(name.c_str(), MFD_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

std::string SectionObjectName(const std::string& name) {
    return "/" + name + "." + std::to_string(geteuid());
}

bool OpenNamedSection(const std::string& name, size_t size) noexcept {
    try {
        std::lock_guard lock(sectionsMutex);
        if (Sections().contains(name)) {
            return true;
        }
        const std::string objectName = SectionObjectName(name);
        int fd = OpenOwn(objectName);
        if (fd < 0) {
            fd = CreateNamed(objectName, size);
        }
        if (fd < 0) {
            // Open and create both failed (shared memory unavailable, or the
            // name taken by another user's object).
            fd = CreateUnnamed(name, size);
        }
        if (fd < 0) {
            return false;
        }
        Sections().emplace(name, fd);
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace platform

#include "platform/system/temporary_file.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace platform {

std::string TemporaryDirectory() {
    const char* dir = std::getenv("TMPDIR");
    std::string path = dir != nullptr && *dir != '\0' ? dir : "/tmp";
    if (path.back() != '/') {
        path += '/';
    }
    return path;
}

std::string CreateTemporaryFile(const std::string& prefix) {
    const std::string pattern = TemporaryDirectory() + prefix + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());   // mode 0600
    if (fd < 0) {
        return {};
    }
    close(fd);
    return name.data();
}

bool WriteWholeFile(const std::string& path, const void* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

} // namespace platform

// Readers that take a path get the input through a file of this process's
// own in /dev/shm (memory, not disk), rewritten for every input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace fuzzcheck {

// The directory goes when the process ends normally.
class ScratchDirectory {
public:
    ScratchDirectory() {
        const std::filesystem::path shm = "/dev/shm";
        std::error_code error;
        path_ = (std::filesystem::is_directory(shm, error) ? shm : std::filesystem::temp_directory_path()) /
                ("qrm284-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path_, error);
    }
    ~ScratchDirectory() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline std::string ScratchPath(const char* name) {
    static const ScratchDirectory directory;
    return (directory.Path() / name).string();
}

inline bool WriteScratch(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

} // namespace fuzzcheck

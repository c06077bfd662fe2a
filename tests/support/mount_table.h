// Whether a folder is a mount point now, as the kernel's mount table says.
#pragma once

#include <fstream>
#include <string>

namespace testsupport {

inline bool Mounted(const std::string& folder) {
    std::ifstream mounts("/proc/mounts");
    for (std::string line; std::getline(mounts, line);) {
        if (line.find(" " + folder + " ") != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace testsupport

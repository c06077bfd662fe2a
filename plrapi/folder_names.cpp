#include "plrapi/folder_names.h"

#include "platform/text/code_page.h"
#include "plrapi/file_positions.h"

#include <cstring>
#include <string>

namespace plrapi {

namespace {

// The path's length, or none when it is longer than MaxPathBytes.
std::optional<size_t> PathLength(const char* path) {
    const size_t length = strnlen(path, MaxPathBytes + 1);
    if (length > MaxPathBytes) {
        return std::nullopt;
    }
    return length;
}

} // namespace

std::string_view LastPathComponent(std::string_view path) {
    size_t start = path.size() >= 2 && path[1] == ':' ? 2 : 0;
    for (size_t at = start; at < path.size(); ++at) {
        const auto byte = static_cast<uint8_t>(path[at]);
        if (platform::IsDBCSLeadByte(byte) && at + 1 < path.size()) {
            ++at;
        } else if (byte == '\\' || byte == '/') {
            start = at + 1;
        }
    }
    return path.substr(start);
}

std::string_view NewFolderName(std::string_view path) {
    const size_t separator = path.find_last_of("/:\\");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

bool FitsNewFolder(const char* name) {
    const auto length = PathLength(name);
    if (!length) {
        return false;
    }
    const std::string_view component = NewFolderName(std::string_view(name, *length));
    if (component.size() > MaxFolderNameBytes) {
        return false;
    }
    return platform::MultiByteToWide(component.data(), component.size()).size() <= MaxFolderNameChars;
}

std::optional<uint32_t> FindFolderId(const DeviceState& state, const char* name) {
    if (name == nullptr || *name == '\0') {
        return std::nullopt;
    }
    const auto length = PathLength(name);
    if (!length) {
        return std::nullopt;
    }
    const std::string_view path(name, *length);
    const std::string_view key = path == ".." ? path : LastPathComponent(path);
    for (int row = 0; row < state.entryCount && row < TableRows; ++row) {
        const FileRecord& record = state.table[static_cast<size_t>(row)];
        if (IsFolderRow(record) && key == std::string_view(record.longName, strnlen(record.longName, sizeof record.longName))) {
            return record.firstCluster;
        }
    }
    return std::nullopt;
}

} // namespace plrapi

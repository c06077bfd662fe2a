#include "plrapi/storable_name.h"

#include "platform/text/code_page.h"

#include <cstring>

namespace plrapi {

namespace {

constexpr char Forbidden[] = "\"*/:<>?\\|";
constexpr uint8_t FirstPrintable = 0x20;
constexpr uint8_t Delete = 0x7F;

// Replaces a first byte `from` by `to`.
std::string SwapFirstByte(std::string base, uint8_t from, uint8_t to) {
    if (!base.empty() && static_cast<uint8_t>(base[0]) == from) {
        base[0] = static_cast<char>(to);
    }
    return base;
}

} // namespace

bool IsUnstorableByte(uint8_t byte) {
    return byte < FirstPrintable || byte == Delete || (byte != 0 && std::strchr(Forbidden, byte) != nullptr);
}

std::optional<size_t> FindUnstorableCharacter(std::string_view name) {
    for (size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<uint8_t>(name[i]);
        if (platform::IsDBCSLeadByte(byte) && i + 1 < name.size()) {
            ++i;
        } else if (IsUnstorableByte(byte)) {
            return i;
        }
    }
    return std::nullopt;
}

std::string StoredShortBase(std::string base) {
    return SwapFirstByte(std::move(base), DeletedEntryMark, StoredForDeletedMark);
}

std::string ShownShortBase(std::string base) {
    return SwapFirstByte(std::move(base), StoredForDeletedMark, DeletedEntryMark);
}

} // namespace plrapi

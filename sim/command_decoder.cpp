#include "sim/command_decoder.h"

#include <cstring>
#include <string_view>

namespace kvx512sim {

namespace {

constexpr uint32_t BlockSize = 512;
constexpr std::string_view Groups = "GCMSU";
constexpr std::string_view TwoLetterCodes[] = {"GG", "FD", "LD", "DG", "DC", "DR", "DM"};

bool IsTwoLetterCode(const uint8_t* at) {
    for (auto code : TwoLetterCodes) {
        if (at[0] == static_cast<uint8_t>(code[0]) && at[1] == static_cast<uint8_t>(code[1])) {
            return true;
        }
    }
    return false;
}

// Payload from `start` up to the '.' the length byte points at (counted from ':').
bool TakeCountedPayload(const uint8_t* block, uint32_t start, Command& command) {
    const uint32_t dot = 3u + command.lengthByte - 1u;
    if (command.lengthByte < 2 || dot >= BlockSize || dot < start || block[dot] != '.') {
        return false;
    }
    command.payload.assign(block + start, block + dot);
    return true;
}

} // namespace

std::optional<Command> DecodeCommand(const uint8_t* data, uint32_t length) {
    if (length < BlockSize || data[0] != '#' || data[1] != 0 || data[3] != ':') {
        return std::nullopt;
    }
    Command command;
    command.lengthByte = data[2];
    command.block.assign(data, data + BlockSize);
    if (data[4] == 'Y') {
        command.code = "Y";
        if (!TakeCountedPayload(data, 5, command)) {
            return std::nullopt;
        }
        return command;
    }
    if (Groups.find(static_cast<char>(data[4])) == std::string_view::npos) {
        return std::nullopt;
    }
    command.group = static_cast<char>(data[4]);
    if (IsTwoLetterCode(data + 5)) {
        command.code.assign(reinterpret_cast<const char*>(data + 5), 2);
        if (command.code == "DM") {
            // Explicit big-endian payload length at offsets 7 and 8.
            const uint32_t payloadLength = (uint32_t{data[7]} << 8) | data[8];
            if (9 + payloadLength >= BlockSize || data[9 + payloadLength] != '.') {
                return std::nullopt;
            }
            command.payload.assign(data + 9, data + 9 + payloadLength);
            return command;
        }
        if (!TakeCountedPayload(data, 7, command)) {
            return std::nullopt;
        }
        return command;
    }
    command.code.assign(1, static_cast<char>(data[5]));
    if (command.code == "W" && command.lengthByte == 2) {
        // A file write: the payload is a run of 32-byte directory entries whose
        // end the writer does not mark; the whole rest of the block is handed on.
        command.payload.assign(data + 6, data + BlockSize);
        return command;
    }
    if (!TakeCountedPayload(data, 6, command)) {
        return std::nullopt;
    }
    return command;
}

} // namespace kvx512sim

// A host made of raw bytes: it builds command blocks and directory entries by
// hand, as they travel on the wire, and drives a simulated player through
// its transfer requests.
#pragma once

#include "sim/player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace simtest {

using Bytes = std::vector<uint8_t>;

inline const Bytes OkReply = {0x23, 0x00, 0x03, 0x3A, 0x00, 0x2E};

inline Bytes ErrorReply(uint8_t code) { return {0x23, 0x00, 0x04, 0x3A, 0x01, code, 0x2E}; }

// The first n bytes of a block.
inline Bytes Head(const Bytes& block, size_t n) { return Bytes(block.begin(), block.begin() + std::min(n, block.size())); }

inline uint16_t Be16(const Bytes& block, size_t at) { return static_cast<uint16_t>((block[at] << 8) | block[at + 1]); }

// A command block: '#', 0, length, ':', `head` (group and code), payload, '.'.
// The length byte counts ':' to '.', unless one is given (form 3 sends 2).
inline Bytes CommandBlock(std::string_view head, const Bytes& payload = {}, std::optional<uint8_t> lengthByte = {}) {
    Bytes block(512, 0);
    block[0] = '#';
    block[3] = ':';
    size_t at = 4;
    for (char c : head) {
        block[at++] = static_cast<uint8_t>(c);
    }
    for (uint8_t b : payload) {
        block[at++] = b;
    }
    block[at] = '.';
    block[2] = lengthByte ? *lengthByte : static_cast<uint8_t>(at - 2);
    return block;
}

inline Bytes Number16(uint32_t value) { return {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)}; }

// A 32-byte short entry; `name11` is the 11 name bytes ("SONG    MP3").
inline Bytes ShortEntry(std::string_view name11, uint32_t size, uint8_t attribute = 0x20, uint8_t headerFlag = 0,
                        uint16_t date = 0x3221, uint16_t time = 0x5C4F) {
    Bytes e(32, 0);
    std::copy(name11.begin(), name11.end(), e.begin());
    e[11] = attribute;
    e[12] = headerFlag;
    e[14] = static_cast<uint8_t>(time);
    e[15] = static_cast<uint8_t>(time >> 8);
    e[22] = e[14];
    e[23] = e[15];
    e[16] = e[18] = e[24] = static_cast<uint8_t>(date);
    e[17] = e[19] = e[25] = static_cast<uint8_t>(date >> 8);
    for (int i = 0; i < 4; ++i) {
        e[28 + i] = static_cast<uint8_t>(size >> (8 * i));
    }
    return e;
}

// Long-name entries for an ASCII name, last part first, carrying `checksum`.
inline Bytes LongNameEntries(std::string_view name, uint8_t checksum) {
    static constexpr size_t Slots[] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    const size_t parts = name.size() / 13 + 1;   // always room for the terminator
    Bytes entries;
    for (size_t part = parts; part >= 1; --part) {
        Bytes e(32, 0);
        e[0] = static_cast<uint8_t>(part | (part == parts ? 0x40 : 0));
        e[11] = 0x0F;
        e[13] = checksum;
        for (size_t k = 0; k < 13; ++k) {
            const size_t at = (part - 1) * 13 + k;
            const uint16_t c = at < name.size() ? static_cast<uint8_t>(name[at]) : at == name.size() ? 0 : 0xFFFF;
            e[Slots[k]] = static_cast<uint8_t>(c);
            e[Slots[k] + 1] = static_cast<uint8_t>(c >> 8);
        }
        entries.insert(entries.end(), e.begin(), e.end());
    }
    return entries;
}

inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// The payload of a file "W": entry bytes + 1 (big-endian), then the entries.
inline Bytes WritePayload(const Bytes& entries) {
    return Join({Number16(static_cast<uint32_t>(entries.size() + 1)), entries});
}

class WireHost {
public:
    explicit WireHost(kvx512sim::Player& player) : player_(player) {}

    kvx512sim::UsbStatus Write(const Bytes& bytes) {
        Bytes copy = bytes;
        kvx512sim::UsbRequest request;
        request.pipe = 0x02;
        request.timeoutMs = 1000;
        request.data = copy.data();
        request.length = static_cast<uint32_t>(copy.size());
        return player_.Transfer(request).status;
    }

    void Send(const Bytes& block) { ASSERT_EQ(Write(block), kvx512sim::UsbStatus::Success); }

    // One read of `size` bytes from pipe 0x83; nullopt when nothing came.
    std::optional<Bytes> Read(uint32_t size = 512, uint32_t timeoutMs = 0) {
        Bytes buffer(size, 0);
        kvx512sim::UsbRequest request;
        request.pipe = 0x83;
        request.in = true;
        request.timeoutMs = timeoutMs;
        request.data = buffer.data();
        request.length = size;
        const auto response = player_.Transfer(request);
        if (response.status != kvx512sim::UsbStatus::Success) {
            return std::nullopt;
        }
        buffer.resize(response.actual);
        return buffer;
    }

    // A block that must come; an empty one fails the test.
    Bytes Reply() {
        auto block = Read();
        EXPECT_TRUE(block.has_value()) << "no reply";
        return block.value_or(Bytes{});
    }

    // File data as a host writes it: 16,384-byte transfers, the tail padded
    // to whole 512-byte blocks (with a non-zero fill, which must not be kept).
    void SendData(const Bytes& data) {
        for (size_t at = 0; at < data.size(); at += 16384) {
            Bytes chunk(data.begin() + static_cast<std::ptrdiff_t>(at),
                        data.begin() + static_cast<std::ptrdiff_t>(std::min(data.size(), at + 16384)));
            chunk.resize((chunk.size() + 511) / 512 * 512, 0xCC);
            Send(chunk);
        }
    }

    void Cancel() {
        kvx512sim::UsbRequest request;
        request.pipe = 0;
        request.setup = {0x40, 0x01, 0, 0, 0, 0, 0, 0};
        player_.Transfer(request);
    }

private:
    kvx512sim::Player& player_;
};

// Bytes 0, 1, 2, ... (mod 251) so that misplaced blocks show.
inline Bytes Pattern(size_t size) {
    Bytes data(size);
    for (size_t i = 0; i < size; ++i) {
        data[i] = static_cast<uint8_t>(i % 251);
    }
    return data;
}

} // namespace simtest

// Writes the stand-ins for the two resources the product ships and we do not
// have: a firmware HEX image of the shipped shape and a font of the shipped
// size. Deterministic, so that every build carries the same bytes.
//
//   standin_resource_generator hex OUT
//   standin_resource_generator font OUT
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint32_t ImageFirst = 0x2000;
constexpr uint32_t ImageEnd = 0x6B8C6;        // one past the last byte, 0x6B8C5
constexpr uint32_t HoleFirst = 0x6B516;       // two bytes no record covers
constexpr uint32_t HoleEnd = 0x6B518;
constexpr uint32_t RecordBytes = 32;
constexpr uint32_t SectionBytes = 0x1400;     // records are emitted section by section
constexpr uint32_t FontBytes = 2093088;

// The byte at an address: the same whichever record carries it.
uint8_t ImageByte(uint32_t address) {
    uint32_t x = address * 0x9E3779B1u;
    x ^= x >> 15;
    x *= 0x85EBCA77u;
    x ^= x >> 13;
    return static_cast<uint8_t>(x >> 24);
}

class HexWriter {
public:
    explicit HexWriter(std::FILE* out) : out_(out) {}

    void Record(uint8_t type, uint16_t address, const std::vector<uint8_t>& data) {
        uint32_t sum = static_cast<uint32_t>(data.size()) + (address >> 8) + (address & 0xFF) + type;
        std::fprintf(out_, ":%02X%04X%02X", static_cast<unsigned>(data.size()), address, type);
        for (uint8_t byte : data) {
            std::fprintf(out_, "%02X", byte);
            sum += byte;
        }
        std::fprintf(out_, "%02X\r\n", static_cast<unsigned>((0x100 - (sum & 0xFF)) & 0xFF));
    }

    void Upper(uint32_t upper) {
        if (upper == upper_) {
            return;
        }
        upper_ = upper;
        Record(0x04, 0, {static_cast<uint8_t>(upper >> 24), static_cast<uint8_t>(upper >> 16)});
    }

    void Data(uint32_t first, uint32_t end) {
        std::vector<uint8_t> data;
        for (uint32_t address = first; address < end; ++address) {
            data.push_back(ImageByte(address));
        }
        Upper(first & 0xFFFF0000u);
        Record(0x00, static_cast<uint16_t>(first & 0xFFFF), data);
    }

private:
    std::FILE* out_;
    uint32_t upper_ = 0xFFFFFFFF;
};

// Records of one section: 32 bytes on 32-byte boundaries, cut at 64 KiB
// boundaries, at the hole and at the section's ends.
void WriteSection(HexWriter& writer, uint32_t first, uint32_t end) {
    uint32_t address = first;
    while (address < end) {
        if (address >= HoleFirst && address < HoleEnd) {
            address = HoleEnd;
            continue;
        }
        uint32_t stop = std::min((address / RecordBytes + 1) * RecordBytes, end);
        stop = std::min(stop, (address & 0xFFFF0000u) + 0x10000u);
        if (address < HoleFirst) {
            stop = std::min(stop, HoleFirst);
        }
        writer.Data(address, stop);
        address = stop;
    }
}

int WriteHex(std::FILE* out) {
    HexWriter writer(out);
    std::vector<uint32_t> sections;
    for (uint32_t first = ImageFirst; first < ImageEnd; first += SectionBytes) {
        sections.push_back(first);
    }
    // Linkers emit sections in their own order: alternate between the front
    // and the back of the image, so the upper address moves back and forth.
    size_t front = 0;
    size_t back = sections.size();
    bool fromBack = false;
    while (front < back) {
        const uint32_t first = fromBack ? sections[--back] : sections[front++];
        WriteSection(writer, first, std::min(first + SectionBytes, ImageEnd));
        fromBack = !fromBack;
    }
    writer.Record(0x01, 0, {});
    std::fputs("\r\n", out);
    std::fputs("# Stand-in firmware image for the QRM-284 updater\r\n", out);
    std::fputs("# Format: Intel HEX, extended linear addresses\r\n", out);
    std::fputs("# Built by standin_resource_generator; not player code\r\n", out);
    return 0;
}

int WriteFont(std::FILE* out) {
    std::vector<uint8_t> data(FontBytes);
    uint64_t state = 0x2545F4914F6CDD1DULL;
    for (auto& byte : data) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        byte = static_cast<uint8_t>(state >> 32);
    }
    return std::fwrite(data.data(), 1, data.size(), out) == data.size() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "hex") != 0 && std::strcmp(argv[1], "font") != 0)) {
        std::fprintf(stderr, "usage: %s hex|font OUT\n", argv[0]);
        return 2;
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        std::perror(argv[2]);
        return 1;
    }
    const int result = std::strcmp(argv[1], "hex") == 0 ? WriteHex(out) : WriteFont(out);
    if (std::fclose(out) != 0 || result != 0) {
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}

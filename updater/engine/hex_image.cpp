#include "updater/engine/hex_image.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

namespace updater {

namespace {

// Far above the largest image the download accepts (65,535 blocks): a record
// with a wild address must not make the converter write gigabytes of zeros.
constexpr uint64_t ImageLimit = 64ull << 20;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

int DigitValue(int c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

class HexReader {
public:
    explicit HexReader(std::FILE* file) : file_(file) {}

    int Next() { return getc_unlocked(file_); }

    // `digits` hex digits, most significant first; false at the end of the
    // text or at anything that is no digit.
    bool Number(int digits, uint32_t& value) {
        value = 0;
        for (int i = 0; i < digits; ++i) {
            const int digit = DigitValue(Next());
            if (digit < 0) {
                return false;
            }
            value = (value << 4) | static_cast<uint32_t>(digit);
        }
        return true;
    }

    void SkipLine() {
        int c = 0;
        do {
            c = Next();
        } while (c != '\n' && c != EOF);
    }

private:
    std::FILE* file_;
};

// The flat image while it grows. Bytes are kept in memory and written once.
class FlatImage {
public:
    explicit FlatImage(uint32_t base) : base_(base) {}

    // Places a data record at absolute address `address`; false when it would
    // take the image past the limit or memory runs out.
    bool Place(uint64_t address, const uint8_t* data, uint32_t count) {
        const uint64_t end = address + count;
        if (end <= base_) {
            return true;   // wholly below the image
        }
        const uint64_t start = address > base_ ? address : base_;
        const uint64_t kept = end - start;
        const uint8_t* from = data + (start - address);
        if (end - base_ > ImageLimit) {
            return false;
        }
        const auto startOffset = static_cast<size_t>(start - base_);
        try {
            if (bytes_.size() < startOffset + kept) {
                bytes_.resize(static_cast<size_t>(startOffset + kept), 0);   // a gap before the record is zeros
            }
        } catch (const std::bad_alloc&) {
            return false;
        }
        std::copy(from, from + kept, bytes_.begin() + static_cast<std::ptrdiff_t>(startOffset));
        return true;
    }

    bool WriteTo(std::FILE* file) const {
        return bytes_.empty() || std::fwrite(bytes_.data(), 1, bytes_.size(), file) == bytes_.size();
    }

private:
    uint64_t base_;
    std::vector<uint8_t> bytes_;
};

} // namespace

bool ConvertHexImage(const std::string& hexPath, const std::string& flatPath, uint32_t base) {
    File hex(std::fopen(hexPath.c_str(), "rb"));
    if (!hex) {
        return false;
    }
    File flat(std::fopen(flatPath.c_str(), "wb"));
    if (!flat) {
        return false;
    }
    HexReader reader(hex.get());
    FlatImage image(base);
    std::vector<uint8_t> record;
    uint32_t upper = 0;
    int c = reader.Next();
    while (c == ':') {
        uint32_t count = 0;
        uint32_t offset = 0;
        uint32_t type = 0;
        if (!reader.Number(2, count) || !reader.Number(4, offset) || !reader.Number(2, type)) {
            break;
        }
        bool ended = false;
        if (type == 0x00) {
            record.resize(count);
            bool whole = true;
            for (uint32_t i = 0; i < count && whole; ++i) {
                uint32_t byte = 0;
                whole = reader.Number(2, byte);
                record[i] = static_cast<uint8_t>(byte);
            }
            if (!whole) {
                break;
            }
            if (!image.Place(upper + offset, record.data(), count)) {
                hex.reset();
                flat.reset();
                std::remove(flatPath.c_str());
                return false;
            }
        } else if (type == 0x01) {
            ended = true;
        } else if (type == 0x04) {
            uint32_t high = 0;
            if (!reader.Number(4, high)) {
                break;
            }
            upper = (high << 16) + offset;
        }
        reader.SkipLine();   // the checksum and the line end
        if (ended) {
            break;
        }
        c = reader.Next();
    }
    const bool written = image.WriteTo(flat.get());
    return std::fclose(flat.release()) == 0 && written;
}

} // namespace updater

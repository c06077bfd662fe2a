// Uploads and downloads through libplrapi.so as a manager program makes
// them: a file described by a class of its own, passed in blocks, read back
// in pieces. The player's side is read with the simulated player's own view.
#pragma once

#include "platform/system/clock.h"
#include "tests/integration/plrapi/plrapi_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// The PC file a manager program describes to the library.
class PcFile : public CPDFileInfo {
public:
    PcFile(std::string name, std::string extension, unsigned long size, unsigned long attribute = 0x20)
        : name_(std::move(name)), extension_(std::move(extension)), size_(size), attribute_(attribute) {}
    char* GetFileName() override { return name_.data(); }
    char* GetFileExt() override { return extension_.data(); }
    unsigned long GetAttribMark() override { return attribute_; }
    unsigned long GetFileSize() override { return size_; }

private:
    std::string name_;
    std::string extension_;
    unsigned long size_;
    unsigned long attribute_;
};

inline std::vector<uint8_t> DataFile(const std::string& name) {
    std::ifstream in(std::string(TEST_DATA_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Bytes as portio moves a write of `size`: 16,384-byte transfers, the rest
// rounded up to whole 512-byte blocks.
inline void AddTransfers(std::vector<size_t>& transfers, size_t size) {
    for (; size >= 16384; size -= 16384) {
        transfers.push_back(16384);
    }
    if (size > 0) {
        transfers.push_back((size + 511) / 512 * 512);
    }
}

// A voice file as the player keeps it: 7F 7F 7F 7F before every 256 bytes.
inline std::vector<uint8_t> VoiceBlocks(const std::vector<uint8_t>& wav) {
    std::vector<uint8_t> blocks;
    for (size_t at = 48; at < wav.size(); at += 256) {
        blocks.insert(blocks.end(), 4, 0x7F);
        blocks.insert(blocks.end(), wav.begin() + static_cast<std::ptrdiff_t>(at),
                      wav.begin() + static_cast<std::ptrdiff_t>(std::min(at + 256, wav.size())));
    }
    return blocks;
}

// A voice recording of `dataBytes` after the recorder's 48-byte header.
inline std::vector<uint8_t> Recording(size_t dataBytes) {
    std::vector<uint8_t> wav = DataFile("voice.wav");
    wav.resize(48);
    const auto data = Pattern(dataBytes, 7);
    wav.insert(wav.end(), data.begin(), data.end());
    return wav;
}

class TransferSessionTest : public PlrapiSessionTest {
protected:
    void SetUp() override {
        // dll_fn_Cancel lets a second of messages through: no need to wait for it.
        platform::SetClockHooks({[](uint32_t) {}, {}});
        PlrapiSessionTest::SetUp();
    }
    void TearDown() override {
        PlrapiSessionTest::TearDown();
        platform::SetClockHooks({});
    }

    // Start and Info; the last result.
    long Announce(PcFile& file, int storage = 0) {
        const long started = api->PlrWriteFileStart(storage);
        return started == 1 ? api->PlrWriteFileInfo(&file) : started;
    }

    // A whole upload in blocks of `block` bytes (0: one block); the close's
    // result, or 0 at the first step that failed.
    long UploadFile(PcFile& file, const std::vector<uint8_t>& data, size_t block = 32768) {
        if (Announce(file) != 1) {
            return 0;
        }
        const size_t step = block == 0 ? std::max<size_t>(data.size(), 1) : block;
        for (size_t at = 0; at < data.size(); at += step) {
            const size_t piece = std::min(step, data.size() - at);
            if (api->PlrWriteFileBlock(const_cast<uint8_t*>(data.data() + at), static_cast<long>(piece)) != 1) {
                return 0;
            }
        }
        return api->PlrCloseFile();
    }

    // Lists storage 0, uploads `data` as "tune.mp3" and opens it for reading;
    // the first step's result that was not 1, else 1.
    long UploadTuneAndOpenIt(const std::vector<uint8_t>& data) {
        PcFile file("tune", "mp3", data.size());
        if (const long listed = List(); listed != 1) {
            return listed;
        }
        if (const long uploaded = UploadFile(file, data); uploaded != 1) {
            return uploaded;
        }
        const long started = api->PlrReadFileStart(0);
        return started == 1 ? api->PlrReadFileInfo(&file) : started;
    }

    // A whole download in pieces of `piece` bytes; what the calls returned,
    // or none when one failed.
    std::optional<std::vector<uint8_t>> DownloadFile(PcFile& file, unsigned long size, size_t piece) {
        if (api->PlrReadFileStart(0) != 1 || api->PlrReadFileInfo(&file) != 1) {
            return std::nullopt;
        }
        std::vector<uint8_t> result;
        std::vector<uint8_t> buffer(piece + 256 + 48);
        for (unsigned long at = 0; at < size; at += piece) {
            long length = static_cast<long>(std::min<unsigned long>(piece, size - at));
            if (api->PlrReadFileBlock(buffer.data(), &length, 0) != 1) {
                return std::nullopt;
            }
            result.insert(result.end(), buffer.begin(), buffer.begin() + length);
        }
        EXPECT_EQ(api->PlrCloseReadFile(), 1);
        return result;
    }

    // The sizes of the data transfers to the player since the transcript was
    // cleared (command blocks left out).
    std::vector<size_t> DataTransfers() {
        std::vector<size_t> sizes;
        for (const auto& write : Writes()) {
            const bool command = write.size() == 512 && write[0] == '#' && write[3] == ':';
            if (!command) {
                sizes.push_back(write.size());
            }
        }
        return sizes;
    }

    // Blocks read from the player since the transcript was cleared.
    size_t BlocksRead() { return TransfersOn(0x83).size(); }

    // What the player stores for the file, without its title trailer (which
    // must end with the header's magic and checksum), or none.
    std::optional<std::vector<uint8_t>> StoredWithoutTrailer(const std::string& path) {
        auto stored = Player().FileData(0, path);
        if (!stored || stored->size() < 2080) {
            return std::nullopt;
        }
        const uint8_t* header = stored->data() + stored->size() - 32;
        uint32_t sum = 0;
        for (int i = 0; i < 30; ++i) {
            sum += header[i];
        }
        EXPECT_EQ(std::string(header, header + 5), "PLBMP");
        EXPECT_EQ(header[30] | header[31] << 8, static_cast<int>(sum & 0xFFFF));
        stored->resize(stored->size() - 2080);
        return stored;
    }

    // The title header the player stores at the end of the file.
    std::vector<uint8_t> StoredTitleHeader(const std::string& path) {
        const auto stored = Player().FileData(0, path);
        return stored && stored->size() >= 32 ? std::vector<uint8_t>(stored->end() - 32, stored->end())
                                              : std::vector<uint8_t>{};
    }
};

} // namespace testsupport

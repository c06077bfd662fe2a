// Driving libportio.so against the in-process simulated player.
#pragma once

#include "portio.h"
#include "tests/support/file_records.h"
#include "tests/support/portio_calls.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/transcript_checks.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

class PortioSessionTest : public SimPlayerTest {
protected:
    void SetUp() override {
        SimPlayerTest::SetUp();
        dll_fn_SetTimeout(2000, 2000);
        char version[42] = {};
        ASSERT_EQ(dll_fn_get_player_version(version), 0);
        image_ = std::make_unique<StorageImage>();
        Player().ClearTranscript();
    }
    void TearDown() override { dll_fn_Close_Writefile(); }

    static FileRecord Record(const std::string& longName, const char* base, const char* extension, uint32_t size) {
        return testsupport::MakeRecord(longName, base, extension, size);
    }

    static std::vector<uint8_t> Pattern(size_t size, uint32_t seed = 1) { return testsupport::Pattern(size, seed); }

    int Upload(const FileRecord& record, const std::vector<uint8_t>& data, int storage = 0) {
        return testsupport::Upload(record, data, storage);
    }

    int Refresh(int storage = 0) { return dll_fn_refresh_device(image_.get(), storage); }

    // Index among the files (folders not counted) of the record named `name`, or -1.
    int FilePosition(const std::string& name) { return testsupport::FilePosition(*image_, name); }

    const FileRecord* Find(const std::string& name) {
        const uint32_t count = std::min<uint32_t>(image_->entryCount, 256);
        for (uint32_t i = 0; i < count; ++i) {
            if (name == image_->records[i].longName || name == image_->records[i].displayName) {
                return &image_->records[i];
            }
        }
        return nullptr;
    }

    std::vector<uint8_t> Download(int position, uint32_t size, int storage = 0) {
        FileRecord unused{};
        std::vector<uint8_t> data(size);
        EXPECT_EQ(dll_fn_Open_Readfile(unused, storage, position), 0);
        for (uint32_t at = 0; at < size; at += 32768) {
            const uint32_t piece = std::min<uint32_t>(32768, size - at);
            EXPECT_EQ(dll_fn_Read_file(data.data() + at, piece), 0);
        }
        dll_fn_Close_Readfile();
        return data;
    }

    // Transfers on one pipe, in order.
    std::vector<kvx512sim::TranscriptEntry> TransfersOn(uint32_t pipe) {
        std::vector<kvx512sim::TranscriptEntry> found;
        for (const auto& transfer : Player().GetTranscript().Transfers()) {
            if (transfer.pipe == pipe && transfer.options == 0) {
                found.push_back(transfer);
            }
        }
        return found;
    }

    // The command blocks written after the handshakes: writes whose block is not "Y".
    std::vector<std::vector<uint8_t>> Commands() { return CommandBlocks(Player().GetTranscript()); }

    StorageImage& Image() { return *image_; }

private:
    std::unique_ptr<StorageImage> image_;
};

} // namespace testsupport

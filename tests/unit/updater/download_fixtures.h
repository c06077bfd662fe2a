// Fixtures of the firmware and font tests: temporary files go to a folder of
// the test's own, so that a test can see that none is left behind.
#pragma once

#include "platform/system/temporary_file.h"
#include "tests/unit/updater/recording_sheet.h"
#include "updater/engine/hex_image.h"
#include "updater/resources/embedded_resources.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <unistd.h>

namespace updatertest {

class TemporaryFolderTest : public UpdaterTest {
protected:
    void SetUp() override {
        UpdaterTest::SetUp();
        folder = std::filesystem::temp_directory_path() / ("updater-test-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        setenv("TMPDIR", folder.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("TMPDIR");
        std::filesystem::remove_all(folder);
        UpdaterTest::TearDown();
    }

    std::filesystem::path folder;
};

// A player that ran application firmware 1.43.10, page 4 busy.
class FirmwareTest : public TemporaryFolderTest {
protected:
    using Bytes = std::vector<uint8_t>;

    void SetUp() override {
        TemporaryFolderTest::SetUp();
        updater::g_bAppFirmware = 1;
        updater::g_dwPlayerVersion = 0x14310;
        updater::g_bBusy = 1;
        Player().ClearTranscript();
    }

    void SetFirmware(const std::function<void(kvx512sim::FirmwareSettings&)>& change) {
        kvx512sim::FirmwareSettings settings;
        change(settings);
        Player().SetFirmwareSettings(settings);
    }

    // The carried image as the conversion lays it out.
    static Bytes CarriedImage() {
        const std::string hex = platform::CreateTemporaryFile("hex");
        const std::string flat = platform::CreateTemporaryFile("flat");
        const auto text = updater::resources::FindResource(updater::resources::FirmwareHexResource);
        platform::WriteWholeFile(hex, text.data(), text.size());
        updater::ConvertHexImage(hex, flat, updater::ApplicationBase);
        std::ifstream in(flat, std::ios::binary);
        Bytes bytes(std::istreambuf_iterator<char>(in), {});
        std::remove(hex.c_str());
        std::remove(flat.c_str());
        return bytes;
    }

    std::string FlatFile(size_t size) {
        const std::string path = (folder / "image.bin").string();
        std::ofstream out(path, std::ios::binary);
        out.seekp(static_cast<std::streamoff>(size));
        if (size > 0) {
            out.seekp(static_cast<std::streamoff>(size - 1));
            out.put('\x5A');
        }
        return path;
    }
};

class FontTest : public TemporaryFolderTest {
protected:
    // Data writes after the start block, by size.
    std::vector<size_t> DataWriteSizes() {
        std::vector<size_t> sizes;
        const auto writes = Writes();
        for (size_t i = 2; i < writes.size(); ++i) {
            sizes.push_back(writes[i].size());
        }
        return sizes;
    }

    static std::vector<uint8_t> Pattern(size_t size) {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<uint8_t>(i * 13 + 5);
        }
        return bytes;
    }
};

} // namespace updatertest

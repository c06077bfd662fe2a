// libportio.so reaching kvx512-sim over USB/IP: time-outs set with
// dll_fn_SetTimeout bound a withheld reply, a server killed in the middle of
// a file read ends the read cleanly, and the player comes back with the server.
#include "platform/usb/usb_driver.h"
#include "portio.h"
#include "tests/integration/usbip/portio_server.h"
#include "tests/support/file_records.h"
#include "tests/support/portio_calls.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A vendor request of kvx512-sim's own, reserved for tests: the next
// `count` replies of the player are dropped.
void WithholdReplies(uint16_t count) {
    auto driver = platform::usb::OpenDriver();
    ASSERT_NE(driver, nullptr);
    const auto scan = driver->Scan(0x0F9C, 0x0301);
    ASSERT_FALSE(scan.uniqueIds.empty());
    const platform::usb::SetupPacket setup{0x40, 0xF0, static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8),
                                           0, 0, 0, 0};
    ASSERT_EQ(driver->ControlTransfer({scan.uniqueIds.front(), setup, nullptr, 0, 2000}).status,
              platform::usb::Status::Success);
}

std::vector<uint8_t> Pattern(size_t size) { return testsupport::Pattern(size, 7); }

int Upload(const char* name, const std::vector<uint8_t>& data) {
    return testsupport::Upload(testsupport::MakeRecord(name, name, "BIN", static_cast<uint32_t>(data.size())), data);
}

// Position among the files of the top level, or -1.
int FilePosition(const std::string& name) {
    auto image = std::make_unique<StorageImage>();
    return dll_fn_refresh_device(image.get(), 0) == 0 ? testsupport::FilePosition(*image, name) : -1;
}

class PortioOverUsbip : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(usbiptest::PortioServer().Running());
        dll_fn_SetTimeout(20000, 20000);
    }
};

TEST_F(PortioOverUsbip, WithheldReplyFailsTheReadAfterTheTimeOutSet) {
    char text[42] = {};
    ASSERT_EQ(dll_fn_get_player_version(text), 0);
    EXPECT_STREQ(text, "APPL 1.4310");

    WithholdReplies(1);
    dll_fn_SetTimeout(1500, 20000);
    const auto start = Clock::now();
    EXPECT_EQ(dll_fn_get_player_version(text), 9);
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(1500)) << "failed before the time-out";
    EXPECT_LT(elapsed, std::chrono::milliseconds(20000)) << "the read waited for more than its time-out";

    // Nothing of the abandoned read is left over to confuse the next exchange.
    EXPECT_EQ(dll_fn_get_player_version(text), 0);
}

TEST_F(PortioOverUsbip, ServerKilledInTheMiddleOfAFileReadEndsItCleanly) {
    const auto data = Pattern(200000);
    ASSERT_EQ(Upload("KILLREAD", data), 0);
    const int position = FilePosition("KILLREAD");
    ASSERT_GE(position, 0);

    FileRecord unused{};
    ASSERT_EQ(dll_fn_Open_Readfile(unused, 0, position), 0);
    std::vector<uint8_t> piece(32768);
    ASSERT_EQ(dll_fn_Read_file(piece.data(), 32768), 0);
    EXPECT_TRUE(std::equal(piece.begin(), piece.end(), data.begin()));

    usbiptest::PortioServer().Kill();
    const auto start = Clock::now();
    EXPECT_NE(dll_fn_Read_file(piece.data(), 32768), 0);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(20000)) << "waited for the time-out of a dead server";
    dll_fn_Close_Readfile();

    EXPECT_EQ(dll_fn_FindDeivce(), 1);
    EXPECT_EQ(dll_fn_get_player_status(), 1);
    char text[42] = {};
    EXPECT_EQ(dll_fn_get_player_version(text), 9);

    // The server again on the same port: the same client finds the player again.
    ASSERT_TRUE(usbiptest::PortioServer().Restart());
    EXPECT_EQ(dll_fn_FindDeivce(), 0);
    EXPECT_EQ(dll_fn_get_player_status(), 0);
}

TEST_F(PortioOverUsbip, PlayerUnpluggedMidWriteComesBackAndIsImportedAgain) {
    ASSERT_TRUE(usbiptest::PortioServer().Restart(
        SIGTERM, {"--detach-after-bytes", "40000", "--reattach-after", "300"}));
    EXPECT_NE(Upload("UNPLUG", Pattern(100000)), 0);
    bool back = false;
    for (int tries = 0; tries < 100 && !back; ++tries) {
        back = dll_fn_FindDeivce() == 0;
        if (!back) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ASSERT_TRUE(back) << "the player did not come back";
    EXPECT_EQ(dll_fn_get_player_status(), 0);
    EXPECT_EQ(FilePosition("UNPLUG"), -1) << "a file cut short is dropped";
    EXPECT_EQ(Upload("REPLUGGED", Pattern(1000)), 0);
    EXPECT_GE(FilePosition("REPLUGGED"), 0);
    ASSERT_TRUE(usbiptest::PortioServer().Restart(SIGTERM));
}

TEST_F(PortioOverUsbip, StorageOutlivesARestartThroughTheStateFile) {
    const auto data = Pattern(40000);
    ASSERT_EQ(Upload("KEPT", data), 0);
    ASSERT_TRUE(usbiptest::PortioServer().Restart(SIGTERM));
    const int position = FilePosition("KEPT");
    ASSERT_GE(position, 0);
    FileRecord unused{};
    ASSERT_EQ(dll_fn_Open_Readfile(unused, 0, position), 0);
    std::vector<uint8_t> back(data.size());
    ASSERT_EQ(dll_fn_Read_file(back.data(), 32768), 0);
    ASSERT_EQ(dll_fn_Read_file(back.data() + 32768, static_cast<uint32_t>(data.size() - 32768)), 0);
    dll_fn_Close_Readfile();
    EXPECT_EQ(back, data);
}

} // namespace

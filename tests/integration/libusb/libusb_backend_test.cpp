// The libusb backend as a person with a real player meets it: libusb-1.0's
// own usbdevfs requests, answered by emulated nodes (tests/support/emulated_usb.h).
// What only this backend decides is pinned here: the endpoints and the
// claim it asks for, a time-out as a time-out, what it takes back and lets
// go of, and how an unplugged, busy or forbidden player ends a call.
#include "platform/system/clock.h"
#include "platform/usb/usb_driver.h"
#include "tests/integration/libusb/emulated_player_environment.h"
#include "tests/support/case_name.h"
#include "tests/support/command_line.h"
#include "tests/support/portio_session.h"
#include "tools/qrm284/commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>

namespace {

using namespace std::chrono_literals;
using platform::usb::Status;
using Clock = std::chrono::steady_clock;

constexpr uint16_t Vendor = 0x0F9C;

// libusb follows plugging through uevents, on a thread of its own.
bool WaitForLocation(const std::string& id, bool listed) {
    for (const auto until = Clock::now() + 10s; Clock::now() < until; std::this_thread::sleep_for(10ms)) {
        const auto locations = platform::usb::ListLocations();
        if (std::any_of(locations.begin(), locations.end(), [&](const auto& at) { return at.id == id; }) == listed) {
            return true;
        }
    }
    return false;
}

std::chrono::nanoseconds ThreadCpuTime() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

class LibusbBackend : public testsupport::PortioSessionTest {
protected:
    void SetUp() override {
        if (testsupport::TheEmulatedUsb() == nullptr) {
            GTEST_SKIP() << testsupport::EmulatedUsb::Unavailable();
        }
        PortioSessionTest::SetUp();
    }
    void TearDown() override {
        if (testsupport::TheEmulatedUsb() == nullptr) {
            return;
        }
        PortioSessionTest::TearDown();
        platform::usb::ChooseDevice("");
        if (second_) {
            Usb().Unplug(2);
            WaitForLocation("1-2", false);
        }
    }

    static testsupport::EmulatedUsb& Usb() { return *testsupport::TheEmulatedUsb(); }

    // A second player at port 1-2.
    kvx512sim::Player& PlugSecond(const std::string& version = "1.4310", uint16_t productId = 0x0301) {
        kvx512sim::Player& player = Bus().AddPlayer(productId);
        player.SetIdentification(IdentificationWithVersion(version));
        Usb().Plug(2, testsupport::BusPlayer(1), productId);
        second_ = true;
        EXPECT_TRUE(WaitForLocation("1-2", true));
        return player;
    }

    // The unique ID the backend gives the player at `location`.
    static uint32_t UniqueIdAt(const std::string& location) {
        for (const auto& at : platform::usb::ListLocations()) {
            if (at.id == location) {
                return at.uniqueId;
            }
        }
        return 0;
    }

    static int Qrm284(const std::string& commandLine, std::string& out, std::string& err) {
        return testsupport::RunCommandLine(
            commandLine,
            [](CLI::App& app, int& status) {
                qrm284::AddDeviceOption(app);
                qrm284::AddInfoCommand(app, status);
                qrm284::AddDevicesCommand(app, status);
            },
            out, &err, testsupport::ParseErrors::RuntimeErrorsKeepTheirCode);
    }

private:
    bool second_ = false;
};

TEST_F(LibusbBackend, OpensTheLinkByClaimingTheInterfaceAndUsingThePlayersEndpoints) {
    // The set-up's identification opened the first link of the process:
    // the handshake, then the identification command and its reply.
    const std::vector<std::string> expected{"claim 0",           "setinterface 0 0",     "clearhalt 0x82",
                                            "clearhalt 0x83",    "submit bulk 0x02 512", "submit bulk 0x83 512",
                                            "submit bulk 0x02 512", "submit bulk 0x83 512"};
    EXPECT_EQ(Usb().Requests(1), expected);

    Usb().ClearRequests();
    char version[42] = {};
    ASSERT_EQ(dll_fn_get_player_version(version), 0);
    const std::vector<std::string> again(expected.begin() + 1, expected.end());
    EXPECT_EQ(Usb().Requests(1), again) << "the interface stays claimed from link to link";
}

TEST_F(LibusbBackend, AStalledEndpointFailsAsAStallUntilTheLinkClearsItsHalt) {
    const auto driver = platform::usb::OpenDriver();
    const uint32_t id = UniqueIdAt("1-1");
    Usb().StallEndpoint(1, 0x83);
    std::vector<uint8_t> buffer(512);
    const auto stalled = driver->BulkTransfer({id, 0x83, buffer.data(), 512, 300});
    EXPECT_EQ(stalled.status, Status::Stall) << platform::usb::StatusName(stalled.status);
    EXPECT_STREQ(stalled.backendError, "LIBUSB_ERROR_PIPE");
    char version[42] = {};
    EXPECT_EQ(dll_fn_get_player_version(version), 0) << "opening the link clears the halt on 0x83";
}

class ProductId : public LibusbBackend, public ::testing::WithParamInterface<uint16_t> {};

TEST_P(ProductId, IsFoundAndReachedByTheLink) {
    PlugSecond("1.4322", GetParam());
    platform::usb::ChooseDevice("1-2");
    char version[42] = {};
    ASSERT_EQ(dll_fn_get_player_version(version), 0);
    EXPECT_STREQ(version, "APPL 1.4322");
    const auto requests = Usb().Requests(2);
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front(), "claim 0");
}

INSTANTIATE_TEST_SUITE_P(Players, ProductId, ::testing::Values(0x0301, 0x1001, 0x0321));

// A bulk IN the player has nothing for: one transfer, or a queued run.
struct SilenceCase {
    const char* name;
    uint32_t queued;   // 0: a single transfer
};

class NothingToSay : public LibusbBackend, public ::testing::WithParamInterface<SilenceCase> {};

TEST_P(NothingToSay, EndsAsATimeOutWithItsUrbTakenBackAndNoProcessorSpent) {
    const auto driver = platform::usb::OpenDriver();
    const uint32_t id = UniqueIdAt("1-1");
    ASSERT_NE(id, 0u);
    ASSERT_EQ(driver->SetInterface(id, 0, 0), Status::Success);
    std::vector<uint8_t> buffer(8 * 512, 0xEE);
    Usb().ClearRequests();
    const uint64_t emptyReaps = Usb().EmptyReaps();
    const auto cpu = ThreadCpuTime();

    platform::usb::TransferResult result;
    if (GetParam().queued == 0) {
        result = driver->BulkTransfer({id, 0x83, buffer.data(), 512, 300});
    } else {
        const auto run = driver->BulkTransferQueue({id, 0x83, buffer.data(), 512, GetParam().queued, 300, nullptr});
        EXPECT_EQ(run.completed, 0u);
        result = run.last;
    }

    EXPECT_EQ(result.status, Status::TimeOut) << platform::usb::StatusName(result.status);
    EXPECT_EQ(result.bytesMoved, 0u);
    EXPECT_STREQ(result.backendError, "LIBUSB_ERROR_TIMEOUT");
    EXPECT_EQ(Usb().UrbsInFlight(), 0u) << "every URB of the call is reaped before it returns";
    const auto requests = Usb().Requests(1);
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "submit bulk 0x83 512"),
              std::max<uint32_t>(1, GetParam().queued));
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "discard 0x83"), std::max<uint32_t>(1, GetParam().queued));
    // Waiting 300 ms in poll costs next to nothing; spinning on the node costs all of it.
    EXPECT_LT(ThreadCpuTime() - cpu, 20ms) << "the wait spun a processor";
    EXPECT_LT(Usb().EmptyReaps() - emptyReaps, 20u) << "the wait asked the node again and again";
}

INSTANTIATE_TEST_SUITE_P(Reads, NothingToSay,
                         ::testing::Values(SilenceCase{"Single", 0}, SilenceCase{"QueuedRun", 8}),
                         testsupport::CaseName());

TEST_F(LibusbBackend, AChunkThePlayerNeverTakesEndsAQueuedWriteWithTheRestTakenBack) {
    const auto data = Pattern(4 * 16384, 7);
    ASSERT_EQ(dll_fn_Open_Writefile(Record("held.bin", "HELD", "BIN", static_cast<uint32_t>(data.size())), 0), 0);
    Player().ClearTranscript();
    Usb().HoldOutAfter(1, 2);
    dll_fn_SetTimeout(2000, 300);

    EXPECT_EQ(dll_fn_Write_file(data.data(), static_cast<uint32_t>(data.size())), 4);
    Usb().HoldOutAfter(1, -1);

    EXPECT_EQ(Usb().UrbsInFlight(), 0u);
    const auto chunks = TransfersOn(0x02);
    ASSERT_EQ(chunks.size(), 2u) << "only the chunks before the held one reached the player";
    EXPECT_TRUE(std::equal(chunks[1].bytes.begin(), chunks[1].bytes.end(), data.begin() + 16384));
    ASSERT_EQ(Refresh(), 0);
    EXPECT_EQ(FilePosition("held.bin"), -1) << "a write cut short stores nothing";
}

TEST_F(LibusbBackend, AnUnplugInTheMiddleOfAReadEndsItAndTheNextLinkFindsNoPlayer) {
    const auto data = Pattern(3 * 32768, 9);
    ASSERT_EQ(Upload(Record("long.bin", "LONG", "BIN", static_cast<uint32_t>(data.size())), data), 0);
    ASSERT_EQ(Refresh(), 0);
    FileRecord unused{};
    ASSERT_EQ(dll_fn_Open_Readfile(unused, 0, FilePosition("long.bin")), 0);
    Player().WithholdDataAfterBlocks(20);
    dll_fn_SetTimeout(60000, 2000);
    std::thread unplug([] {
        while (Usb().UrbsInFlight() == 0) {
            std::this_thread::sleep_for(5ms);
        }
        Usb().Unplug(1);
    });
    std::vector<uint8_t> buffer(32768);

    const auto start = Clock::now();
    EXPECT_EQ(dll_fn_Read_file(buffer.data(), 32768), 3);
    unplug.join();
    EXPECT_LT(Clock::now() - start, 30s) << "the read waited for its time-out instead of ending at the unplug";

    ASSERT_TRUE(WaitForLocation("1-1", false));
    EXPECT_EQ(dll_fn_FindDeivce(), 1);
    char version[42] = {};
    EXPECT_EQ(dll_fn_get_player_version(version), 9);
    Usb().Plug(1, testsupport::BusPlayer(0));
    ASSERT_TRUE(WaitForLocation("1-1", true));
    EXPECT_EQ(dll_fn_get_player_version(version), 0) << "the player plugged in again is reached";
}

TEST_F(LibusbBackend, AnUnplugInTheMiddleOfTheFirmwareDownloadEndsTheUpdateWithItsText) {
    platform::SetClockHooks({[](uint32_t) {}, {}});   // the update's pauses pass at once
    std::atomic<bool> unplugged = false;
    std::thread unplug([&] {
        for (const auto until = Clock::now() + 20s; Clock::now() < until; std::this_thread::yield()) {
            if (Player().Firmware().Programming()) {
                Usb().Unplug(1);
                unplugged = true;
                return;
            }
        }
    });
    std::string out;
    std::string err;
    const int status = testsupport::RunCommandLine(
        "update --yes --language 0x0409", [](CLI::App& app, int& exit) { qrm284::AddUpdateCommand(app, exit); },
        out, &err);
    unplug.join();
    platform::SetClockHooks({});

    ASSERT_TRUE(unplugged) << "the download never began";
    EXPECT_EQ(status, qrm284::ExitFailure) << out;
    EXPECT_NE(err.find("\nqrm284: An error occurred while updating the firmware."), std::string::npos) << err;
    EXPECT_EQ(Player().GetIdentification().version, "1.4310") << "an unfinished download changes no firmware";
    Usb().Plug(1, testsupport::BusPlayer(0));
    ASSERT_TRUE(WaitForLocation("1-1", true));
}

// Another program holds the player, or the node may not be opened.
struct UnusableCase {
    const char* name;
    bool busy;
};

class UnusablePlayer : public LibusbBackend, public ::testing::WithParamInterface<UnusableCase> {};

TEST_P(UnusablePlayer, IsListedButNotReachedAndQrm284SaysSo) {
    PlugSecond();
    if (GetParam().busy) {
        Usb().HoldInterface(2, true);
    } else {
        Usb().DenyAccess(2, true);
    }
    testsupport::DacOverrideDropped unprivileged;
    platform::usb::ChooseDevice("1-2");
    const auto driver = platform::usb::OpenDriver();
    const auto scan = driver->Scan(Vendor, 0x0301);
    if (GetParam().busy) {
        ASSERT_EQ(scan.uniqueIds.size(), 1u);
        EXPECT_EQ(driver->SetInterface(scan.uniqueIds[0], 0, 0), Status::Failed) << "the claim's EBUSY";
    } else {
        EXPECT_TRUE(scan.uniqueIds.empty()) << "a node it may not open is no device to reach";
    }

    std::string out;
    std::string err;
    EXPECT_EQ(Qrm284("--device 1-2 info", out, err), qrm284::ExitNoPlayer);
    EXPECT_EQ(err, GetParam().busy ? "qrm284: The player is in use by another program; close that program and try again.\n"
                                   : "qrm284: The player at 1-2 cannot be opened: permission denied. Install the udev rule "
                                     "70-qrm284-player.rules (it gives the user at the machine access with uaccess), then "
                                     "plug the player in again.\n");
    const auto requests = Usb().Requests(2);
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(), [](const std::string& r) { return r.starts_with("submit"); }),
              0) << "nothing is sent to a player that is not ours";
}

INSTANTIATE_TEST_SUITE_P(Knobs, UnusablePlayer,
                         ::testing::Values(UnusableCase{"InterfaceHeldElsewhere", true},
                                           UnusableCase{"NodeWithoutPermission", false}),
                         testsupport::CaseName());

TEST_F(LibusbBackend, TwoPlayersAreToldApartByTheirPortPath) {
    PlugSecond("1.4322");
    std::string out;
    std::string err;
    ASSERT_EQ(Qrm284("devices", out, err), 0) << err;
    EXPECT_NE(out.find("\n1-1     0301     APPL  1.43.10\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\n1-2     0301     APPL  1.43.22\n"), std::string::npos) << out;

    for (const auto& [location, firmware] : {std::pair{"1-2", "1.43.22 (APPL)"}, std::pair{"1-1", "1.43.10 (APPL)"}}) {
        ::setenv("KVX512_DEVICE", location, 1);
        EXPECT_EQ(Qrm284("info", out, err), 0) << err;
        ::unsetenv("KVX512_DEVICE");
        EXPECT_NE(out.find(std::string("Firmware: ") + firmware + "\n"), std::string::npos) << location << ": " << out;
    }
}

// The backend lets go of a player it no longer shows: another choice, or gone.
struct LetGoCase {
    const char* name;
    bool unplug;
};

class NoLongerShown : public LibusbBackend, public ::testing::WithParamInterface<LetGoCase> {};

TEST_P(NoLongerShown, HasItsInterfaceReleasedAndItsNodeClosed) {
    PlugSecond();
    platform::usb::ChooseDevice("1-2");
    char version[42] = {};
    ASSERT_EQ(dll_fn_get_player_version(version), 0);
    ASSERT_TRUE(Usb().NodeOpen(2));
    Usb().ClearRequests();

    std::vector<std::string> expected{"release 0"};
    if (GetParam().unplug) {
        Usb().Unplug(2);
        ASSERT_TRUE(WaitForLocation("1-2", false));
        platform::usb::ChooseDevice("");
        EXPECT_EQ(dll_fn_get_player_version(version), 0) << "the player at 1-1 answers";
        expected = {};   // a node that is gone takes no release
    } else {
        platform::usb::ChooseDevice("1-1");
    }
    EXPECT_EQ(Usb().Requests(2), expected);
    EXPECT_FALSE(Usb().NodeOpen(2)) << "the backend still holds the node";
}

INSTANTIATE_TEST_SUITE_P(Ways, NoLongerShown,
                         ::testing::Values(LetGoCase{"AnotherChosen", false}, LetGoCase{"Unplugged", true}),
                         testsupport::CaseName());

} // namespace

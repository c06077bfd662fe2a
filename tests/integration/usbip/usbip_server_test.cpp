// kvx512-sim as a USB device behind USB/IP, reached through the client backend:
// descriptors, the player's pipes, unlinks, one client at a time, clients and
// servers that vanish, stop signals.
#include "platform/usb/usb_driver.h"
#include "tests/integration/usbip/sim_server_process.h"

#include "tests/support/case_name.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>
#include <string>
#include <vector>

namespace {

using namespace platform::usb;
using Clock = std::chrono::steady_clock;

constexpr uint16_t Vendor = 0x0F9C;

// The identification command "Y", byte for byte.
std::vector<uint8_t> IdentifyCommand() {
    std::vector<uint8_t> block(512, 0);
    const uint8_t head[] = {0x23, 0x00, 0x03, 0x3A, 0x59, 0x2E};
    std::copy(std::begin(head), std::end(head), block.begin());
    return block;
}

class UsbipServer : public ::testing::Test {
protected:
    explicit UsbipServer(std::vector<std::string> options = {}) : server_(std::move(options)) {}

    void SetUp() override {
        ASSERT_TRUE(server_.Started());
        backend_ = MakeUsbipBackend(server_.Url());
        ASSERT_NE(backend_, nullptr);
    }

    // Imports the player; its unique ID.
    uint32_t Import(Backend& backend, uint16_t product = 0x0301) {
        auto driver = backend.OpenDriver();
        const auto scan = driver->Scan(Vendor, product);
        return scan.uniqueIds.empty() ? 0 : scan.uniqueIds.front();
    }

    TransferResult Control(const SetupPacket& setup, std::vector<uint8_t>& buffer) {
        return backend_->OpenDriver()->ControlTransfer(
            {id_, setup, buffer.empty() ? nullptr : buffer.data(), static_cast<uint32_t>(buffer.size()), 2000});
    }

    TransferResult Bulk(uint8_t endpoint, std::vector<uint8_t>& buffer, uint32_t timeoutMs = 2000) {
        return backend_->OpenDriver()->BulkTransfer(
            {id_, endpoint, buffer.empty() ? nullptr : buffer.data(), static_cast<uint32_t>(buffer.size()), timeoutMs});
    }

    std::vector<uint8_t> Descriptor(uint8_t kind, uint8_t index, uint16_t room = 255) {
        std::vector<uint8_t> buffer(room);
        const auto result = Control({0x80, 0x06, index, kind, 0x09, 0x04, static_cast<uint8_t>(room), 0}, buffer);
        EXPECT_EQ(result.status, Status::Success);
        buffer.resize(result.bytesMoved);
        return buffer;
    }

    // The handshake by hand: "Y" out, the identification back.
    std::vector<uint8_t> Identify() {
        auto command = IdentifyCommand();
        EXPECT_EQ(Bulk(0x02, command).status, Status::Success);
        std::vector<uint8_t> reply(512);
        const auto result = Bulk(0x83, reply);
        EXPECT_EQ(result.status, Status::Success);
        reply.resize(result.bytesMoved);
        return reply;
    }

    usbiptest::SimServerProcess server_;
    std::unique_ptr<Backend> backend_;
    uint32_t id_ = 0;
};

struct ListingCase {
    const char* name;
    std::vector<std::string> options;
    std::string instanceId;
};

class DeviceList : public ::testing::TestWithParam<ListingCase> {};

TEST_P(DeviceList, NamesThePlayerByVendorProductAndBusId) {
    usbiptest::SimServerProcess server(GetParam().options);
    ASSERT_TRUE(server.Started());
    const auto devices = MakeUsbipBackend(server.Url())->ListPresentDevices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].instanceId, GetParam().instanceId);
    EXPECT_EQ(devices[0].classGuid, UsbDeviceClassGuid);
    EXPECT_EQ(server.Log().find("import"), std::string::npos) << "the list imports nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Players, DeviceList,
    ::testing::Values(ListingCase{"Default", {}, "USB\\VID_0F9C&PID_0301\\1-1"},
                      ListingCase{"SecondProduct", {"--product-id", "1001", "--bus-id", "3-2"},
                                  "USB\\VID_0F9C&PID_1001\\3-2"},
                      ListingCase{"ThirdProduct", {"--product-id", "0x0321"}, "USB\\VID_0F9C&PID_0321\\1-1"}),
    testsupport::CaseName());

// A chosen bus ID is the only export the backend lists or imports; any other
// hides the player, and choosing it gives up a device imported before.
TEST(UsbipChoice, OnlyTheChosenBusIdIsListedOrImported) {
    usbiptest::SimServerProcess server({"--bus-id", "3-2"});
    ASSERT_TRUE(server.Started());
    auto backend = MakeUsbipBackend(server.Url());
    const auto locations = backend->ListLocations();
    ASSERT_EQ(locations.size(), 1u);
    EXPECT_EQ(locations[0].id, "3-2");
    EXPECT_EQ(locations[0].vendorId, Vendor);
    EXPECT_EQ(locations[0].productId, 0x0301);

    backend->Choose("1-1");
    EXPECT_TRUE(backend->OpenDriver()->Scan(Vendor, 0x0301).uniqueIds.empty());
    EXPECT_TRUE(backend->ListPresentDevices().empty());
    EXPECT_EQ(server.Log().find("import"), std::string::npos) << "another bus ID was imported";

    backend->Choose("3-2");
    EXPECT_EQ(backend->OpenDriver()->Scan(Vendor, 0x0301).uniqueIds, std::vector<uint32_t>{locations[0].uniqueId});
    EXPECT_EQ(backend->ListPresentDevices().size(), 1u);

    backend->Choose("1-1");
    EXPECT_TRUE(backend->OpenDriver()->Scan(Vendor, 0x0301).uniqueIds.empty());
}

TEST_F(UsbipServer, DescribesOneVendorSpecificInterfaceWithThreeBulkEndpoints) {
    id_ = Import(*backend_);
    ASSERT_NE(id_, 0u);
    const auto device = Descriptor(1, 0);
    ASSERT_EQ(device.size(), 18u);
    EXPECT_EQ(device[4], 0xFF) << "vendor-specific class";
    EXPECT_EQ(device[8] | (device[9] << 8), 0x0F9C);
    EXPECT_EQ(device[10] | (device[11] << 8), 0x0301);
    EXPECT_EQ(device[17], 1) << "one configuration";

    EXPECT_EQ(Descriptor(2, 0, 9).size(), 9u) << "the header alone when asked for 9 bytes";
    const auto configuration = Descriptor(2, 0);
    ASSERT_EQ(configuration.size(), 9u + 9u + 3u * 7u);
    EXPECT_EQ(configuration[2] | (configuration[3] << 8), 39);
    EXPECT_EQ(configuration[9 + 5], 0xFF) << "interface class";
    const uint8_t addresses[] = {0x02, 0x83, 0x82};
    for (size_t i = 0; i < 3; ++i) {
        const uint8_t* endpoint = &configuration[18 + 7 * i];
        EXPECT_EQ(endpoint[2], addresses[i]);
        EXPECT_EQ(endpoint[3], 0x02) << "bulk";
        EXPECT_EQ(endpoint[4] | (endpoint[5] << 8), 512);
    }

    const auto product = Descriptor(3, 2);
    std::string text;
    for (size_t i = 2; i + 1 < product.size(); i += 2) {
        text += static_cast<char>(product[i]);
    }
    EXPECT_EQ(text, "KVX512 simulated player");

    std::vector<uint8_t> buffer(8);
    EXPECT_EQ(Control({0x80, 0x06, 0, 0x22, 0, 0, 8, 0}, buffer).status, Status::Stall) << "no such descriptor";
}

TEST_F(UsbipServer, IdentificationCrossesThePlayersPipes) {
    id_ = Import(*backend_);
    ASSERT_NE(id_, 0u);
    EXPECT_EQ(backend_->OpenDriver()->SetInterface(id_, 0, 0), Status::Success);
    EXPECT_EQ(backend_->OpenDriver()->SetInterface(id_, 0, 1), Status::Stall);
    const auto reply = Identify();
    ASSERT_GE(reply.size(), 32u);
    EXPECT_EQ(reply[0], '#');
    EXPECT_EQ(reply[1], 0);
    EXPECT_EQ(std::string(reply.begin() + 4, reply.begin() + 32), "KORVANEXT KVX512 FILE SYSTEM");
    const std::string log = server_.Log();
    EXPECT_NE(log.find("set-interface"), std::string::npos);
    EXPECT_NE(log.find("pipe 02 OUT options 0 size 512 timeout 0 status 0: 23 00 03 3A 59 2E"), std::string::npos);
}

TEST_F(UsbipServer, PipeHaltAndCancelReachThePlayerAsTheirOwnRequests) {
    id_ = Import(*backend_);
    std::vector<uint8_t> none;
    EXPECT_EQ(backend_->OpenDriver()->ClearHalt(id_, 0x83, 2000), Status::Success);
    EXPECT_EQ(backend_->OpenDriver()->ClearHalt(id_, 0x82, 2000), Status::Success);
    EXPECT_EQ(Control({0x40, 0x01, 0, 0, 0, 0, 0, 0}, none).status, Status::Success);
    const std::string log = server_.Log();
    const size_t first = log.find("pipe 83 OUT options 1 size 0");
    const size_t second = log.find("pipe 82 OUT options 1 size 0");
    const size_t cancel = log.find("pipe 00 OUT options 0 size 0");
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(second, std::string::npos);
    ASSERT_NE(cancel, std::string::npos);
    EXPECT_LT(first, second);
    EXPECT_LT(second, cancel);
}

TEST_F(UsbipServer, ReadWithoutDataTimesOutAfterItsTimeOutAndTakesNothingLater) {
    id_ = Import(*backend_);
    std::vector<uint8_t> reply(512);
    const auto start = Clock::now();
    const auto result = Bulk(0x83, reply, 400);
    const auto elapsed = Clock::now() - start;
    EXPECT_EQ(result.status, Status::TimeOut);
    EXPECT_GE(elapsed, std::chrono::milliseconds(400));
    EXPECT_NE(server_.Log().find("unlinked"), std::string::npos);
    // The request taken back does not swallow the next reply.
    const auto identification = Identify();
    ASSERT_FALSE(identification.empty());
    EXPECT_EQ(identification[0], '#');
}

TEST_F(UsbipServer, ServesOneClientAtATimeAndTheNextAfterIt) {
    id_ = Import(*backend_);
    ASSERT_NE(id_, 0u);
    auto second = MakeUsbipBackend(server_.Url());
    EXPECT_EQ(Import(*second), 0u) << "imported by the first client";
    EXPECT_EQ(second->ListPresentDevices().size(), 1u) << "still listed";
    backend_.reset();
    EXPECT_NE(Import(*second), 0u);
}

struct LeftBehindCase {
    const char* name;
    SetupPacket testRequest;   // all zero: none
    bool unreadReply;
};

class LeftBehind : public UsbipServer, public ::testing::WithParamInterface<LeftBehindCase> {};

// What one client leaves behind does not reach the next: it starts from a clean link.
TEST_P(LeftBehind, DoesNotReachTheNextClient) {
    id_ = Import(*backend_);
    ASSERT_NE(id_, 0u);
    std::vector<uint8_t> none;
    if (GetParam().testRequest[0] != 0) {
        ASSERT_EQ(Control(GetParam().testRequest, none).status, Status::Success);
    }
    if (GetParam().unreadReply) {
        auto command = IdentifyCommand();
        ASSERT_EQ(Bulk(0x02, command).status, Status::Success);
    }
    backend_ = MakeUsbipBackend(server_.Url());
    id_ = Import(*backend_);
    ASSERT_NE(id_, 0u);

    const auto reply = Identify();
    ASSERT_GE(reply.size(), 32u);
    EXPECT_EQ(reply[1], 0);
    std::vector<uint8_t> more(512);
    EXPECT_EQ(Bulk(0x83, more, 300).status, Status::TimeOut) << "one reply for one command";
}

INSTANTIATE_TEST_SUITE_P(
    Leftovers, LeftBehind,
    ::testing::Values(LeftBehindCase{"UnreadReply", {}, true},
                      LeftBehindCase{"WithheldReplies", {0x40, 0xF0, 5, 0, 0, 0, 0, 0}, false},
                      LeftBehindCase{"FailingTransfers", {0x40, 0xF1, 5, 0, 0, 0, 0, 0}, false}),
    testsupport::CaseName());

// A TCP connection that never sends a byte; -1 when none could be made.
int SilentConnection(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    const timeval readLimit{10, 0};   // a bound: a server that never lets go fails, not hangs
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &readLimit, sizeof readLimit);
    return fd;
}

class SilentConnections : public UsbipServer {
protected:
    SilentConnections() : UsbipServer({"--idle-timeout", "300"}) {}
};

TEST_F(SilentConnections, NeitherLockOutAnImportNorStayForever) {
    std::vector<int> silent;
    for (int i = 0; i < 16; ++i) {
        silent.push_back(SilentConnection(server_.Port()));
        ASSERT_GE(silent.back(), 0);
    }
    id_ = Import(*backend_);
    ASSERT_NE(id_, 0u) << "room made for a client that imports";

    uint8_t byte = 0;
    EXPECT_EQ(::recv(silent.back(), &byte, 1, 0), 0) << "closed once idle";
    const auto identification = Identify();
    ASSERT_FALSE(identification.empty()) << "the imported client stays, however quiet";
    EXPECT_EQ(identification[0], '#');
    for (const int fd : silent) {
        ::close(fd);
    }
}

TEST_F(UsbipServer, ClientVanishingMidTransferLeavesTheServerServing) {
    {
        // A client of our own bytes: import, a read that waits for data, gone.
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(server_.Port());
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        std::vector<uint8_t> import{0x01, 0x11, 0x80, 0x03, 0, 0, 0, 0, '1', '-', '1'};
        import.resize(8 + 32, 0);
        ASSERT_EQ(::send(fd, import.data(), import.size(), 0), static_cast<ssize_t>(import.size()));
        std::vector<uint8_t> reply(8 + 312);
        ASSERT_EQ(::recv(fd, reply.data(), reply.size(), MSG_WAITALL), static_cast<ssize_t>(reply.size()));
        EXPECT_EQ(reply[3], 0x03);
        EXPECT_EQ(reply[7], 0x00) << "import granted";
        std::vector<uint8_t> submit(48, 0);
        submit[3] = 1;          // CMD_SUBMIT
        submit[7] = 1;          // seqnum
        submit[9] = 1;          // devid: bus 1, device 2
        submit[11] = 2;
        submit[15] = 1;         // IN
        submit[19] = 3;         // endpoint 3
        submit[26] = 0x02;      // 512 bytes
        ASSERT_EQ(::send(fd, submit.data(), submit.size(), 0), 48);
        ::close(fd);
    }
    for (int tries = 0; tries < 100 && server_.Log().find("closed with requests pending") == std::string::npos; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    id_ = Import(*backend_);
    ASSERT_NE(id_, 0u);
    const auto identification = Identify();
    ASSERT_FALSE(identification.empty());
    EXPECT_EQ(identification[0], '#');
}

TEST_F(UsbipServer, ServerGoneFailsCleanly) {
    id_ = Import(*backend_);
    ASSERT_NE(id_, 0u);
    server_.Stop(SIGKILL);
    std::vector<uint8_t> reply(512);
    EXPECT_NE(Bulk(0x83, reply, 20000).status, Status::Success);
    EXPECT_NE(Bulk(0x83, reply, 20000).status, Status::Success);
    EXPECT_TRUE(backend_->ListPresentDevices().empty());
    EXPECT_EQ(Import(*backend_), 0u);
}

class StopSignal : public UsbipServer, public ::testing::WithParamInterface<int> {};

TEST_P(StopSignal, EndsTheServerCleanlyWithAClientAttached) {
    id_ = Import(*backend_);
    ASSERT_NE(id_, 0u);
    EXPECT_EQ(server_.Stop(GetParam()), 0);
    EXPECT_NE(server_.Log().find("kvx512-sim: stopped"), std::string::npos);
    std::vector<uint8_t> reply(512);
    EXPECT_NE(Bulk(0x83, reply).status, Status::Success);
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal, ::testing::Values(SIGINT, SIGTERM));

TEST(UsbipClient, NoServerMeansNoDevicesAndNoImport) {
    // A port nothing listens on: bound, never listened to.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    auto backend = MakeUsbipBackend("usbip://127.0.0.1:" + std::to_string(ntohs(address.sin_port)));
    ::close(fd);
    ASSERT_NE(backend, nullptr);
    EXPECT_TRUE(backend->ListPresentDevices().empty());
    auto driver = backend->OpenDriver();
    ASSERT_NE(driver, nullptr);
    EXPECT_TRUE(driver->Scan(Vendor, 0x0301).uniqueIds.empty());
    EXPECT_EQ(driver->ControlTransfer({0x10002, {}, nullptr, 0, 0}).status, Status::NoDevice);
}

} // namespace

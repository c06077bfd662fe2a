// The client side of USB/IP against a server that answers with the input:
// the first byte picks the device list, or an import followed by a single
// bulk IN URB, a run of them and an OUT URB; the rest is what the server
// sends back. The client never moves more than it asked for, never hangs on
// a server that has said all it will say, and keeps what it reports within
// the records it read.
#include "platform/usb/usbip_session.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/loopback_peer.h"

#include <array>
#include <csignal>
#include <cstdint>
#include <thread>

namespace {

constexpr uint32_t UrbTimeoutMs = 200;
constexpr uint32_t RunCount = 3;
constexpr uint32_t BlockSize = 512;

int listenFd = -1;
uint16_t port = 0;

void CheckDeviceList(const platform::usb::UsbipAddress& address) {
    const auto devices = platform::usb::QueryExportedDevices(address);
    if (devices) {
        for (const auto& device : *devices) {
            fuzzcheck::Require(device.busId.size() <= platform::usb::usbip::BusIdSize,
                               "a bus ID stays within its field");
        }
    }
}

void CheckTransfers(const platform::usb::UsbipAddress& address) {
    auto session = platform::usb::UsbipSession::Import(address, "1-1");
    if (!session) {
        return;
    }
    fuzzcheck::Require(session->Device().busId == "1-1", "the imported device is the one asked for");
    std::array<uint8_t, BlockSize * RunCount> buffer{};
    platform::usb::UrbRequest in{.endpoint = 3, .in = true, .buffer = buffer.data(), .length = BlockSize,
                                 .timeoutMs = UrbTimeoutMs};
    const auto one = session->Submit(in);
    fuzzcheck::Require(one.bytesMoved <= BlockSize, "a URB moves at most its length");
    std::array<uint32_t, RunCount> moved{};
    const auto run = session->SubmitRun(in, RunCount, moved.data());
    fuzzcheck::Require(run.completed <= RunCount, "a run completes at most its URBs");
    for (uint32_t i = 0; i < run.completed; ++i) {
        fuzzcheck::Require(moved[i] <= BlockSize, "each URB of a run moves at most its length");
    }
    platform::usb::UrbRequest out{.endpoint = 2, .in = false, .buffer = buffer.data(), .length = BlockSize,
                                  .timeoutMs = UrbTimeoutMs};
    const auto written = session->Submit(out);
    fuzzcheck::Require(written.bytesMoved <= BlockSize, "an OUT URB moves at most its length");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::signal(SIGPIPE, SIG_IGN);
    listenFd = fuzzcheck::ListenOnLoopback(port);
    fuzzcheck::Require(listenFd >= 0, "a loopback port to listen on");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    bool served = false;
    std::thread server([&] {
        auto connection = fuzzcheck::AcceptWithin(listenFd, fuzzcheck::PeerWaitMs);
        if (connection) {
            connection->SendAndFinish(data + 1, size - 1);
            served = connection->DrainUntilClosed(fuzzcheck::PeerWaitMs);
        }
    });
    const platform::usb::UsbipAddress address{.host = "127.0.0.1", .port = port, .busId = ""};
    if ((data[0] & 1) == 0) {
        CheckDeviceList(address);
    } else {
        CheckTransfers(address);
    }
    server.join();
    fuzzcheck::Require(served, "the client connects, and lets go of a server that has said all it will say");
    return 0;
}

// The USB/IP client against a server of our own script: records it does not
// wait for may keep coming, but a read still ends at its time-out.
#include "platform/usb/usbip_session.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using namespace platform::usb;
using Clock = std::chrono::steady_clock;

// Grants the import of bus ID 1-1, then keeps sending RET_UNLINK records for
// an unlink nobody asked for until told to stop.
class UnlinkFloodServer {
public:
    UnlinkFloodServer() {
        listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(listenFd_, 1) != 0 ||
            ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~UnlinkFloodServer() {
        stop_ = true;
        ::shutdown(listenFd_, SHUT_RDWR);
        if (thread_.joinable()) {
            thread_.join();
        }
        ::close(listenFd_);
    }
    uint16_t Port() const { return port_; }
    void Stop() { stop_ = true; }

private:
    void Serve() {
        const int fd = ::accept(listenFd_, nullptr, nullptr);
        if (fd < 0) {
            return;
        }
        std::array<uint8_t, 8 + 32> request{};
        ::recv(fd, request.data(), request.size(), MSG_WAITALL);
        std::vector<uint8_t> reply(8 + 312, 0);
        reply[0] = 0x01;   // version 1.1.1, OP_REP_IMPORT, status 0
        reply[1] = 0x11;
        reply[3] = 0x03;
        const char busId[] = "1-1";
        std::copy(busId, busId + 3, reply.begin() + 8 + 256);
        ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);

        // RET_UNLINK records for a seqnum never used, each sent with the first
        // byte of the next: a byte is always waiting when the client looks.
        std::array<uint8_t, 48> record{};
        record[3] = 0x04;
        record[6] = 0xFF;
        record[7] = 0xFF;
        std::array<uint8_t, 48> shifted{};
        std::copy(record.begin() + 1, record.end(), shifted.begin());
        shifted.back() = record.front();
        ::send(fd, record.data(), 1, MSG_NOSIGNAL);
        // Bounded, so that a client that never gives up fails the test instead of hanging it.
        const auto end = Clock::now() + std::chrono::seconds(20);
        while (!stop_ && Clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (::send(fd, shifted.data(), shifted.size(), MSG_NOSIGNAL) < 0) {
                break;
            }
        }
        ::close(fd);
    }

    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

TEST(UsbipClientDeadline, UnrelatedUnlinkRepliesDoNotHoldAReadPastItsTimeOut) {
    UnlinkFloodServer server;
    ASSERT_NE(server.Port(), 0);
    auto session = UsbipSession::Import({"127.0.0.1", server.Port(), "1-1"}, "1-1");
    ASSERT_TRUE(session.has_value());
    std::vector<uint8_t> buffer(512);
    const auto start = Clock::now();
    const auto result = session->Submit({.endpoint = 3, .in = true, .buffer = buffer.data(), .length = 512, .timeoutMs = 300});
    const auto elapsed = Clock::now() - start;
    server.Stop();
    EXPECT_EQ(result.status, Status::TimeOut);
    // 300 ms and the unlink's grace, which the server never answers; not the 20 s it keeps sending.
    EXPECT_LT(elapsed, std::chrono::seconds(10));
}

} // namespace

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
#include <functional>
#include <thread>
#include <vector>

namespace {

using namespace platform::usb;
using Clock = std::chrono::steady_clock;

// Grants the import of bus ID 1-1, then plays its script on the connection.
class ScriptedServer {
public:
    using Script = std::function<void(int fd, const std::atomic<bool>& stop)>;

    explicit ScriptedServer(Script script) : script_(std::move(script)) {
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
    ~ScriptedServer() {
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
        script_(fd, stop_);
        ::close(fd);
    }

    Script script_;
    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Keeps sending RET_UNLINK records for an unlink nobody asked for until told to stop.
void FloodWithUnlinkReplies(int fd, const std::atomic<bool>& stop) {
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
    while (!stop && Clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (::send(fd, shifted.data(), shifted.size(), MSG_NOSIGNAL) < 0) {
            break;
        }
    }
}

TEST(UsbipClientDeadline, UnrelatedUnlinkRepliesDoNotHoldAReadPastItsTimeOut) {
    ScriptedServer server(FloodWithUnlinkReplies);
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

using Record = std::array<uint8_t, 48>;

uint32_t Be32At(const Record& record, size_t offset) {
    return uint32_t{record[offset]} << 24 | uint32_t{record[offset + 1]} << 16 | uint32_t{record[offset + 2]} << 8 |
           record[offset + 3];
}

void PutBe32(Record& record, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        record[offset + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
    }
}

bool Receive(int fd, Record& record) {
    return ::recv(fd, record.data(), record.size(), MSG_WAITALL) == static_cast<ssize_t>(record.size());
}

// RET_SUBMIT of an IN URB with 512 bytes of `fill`.
void SendInReply(int fd, uint32_t seqnum, uint8_t fill) {
    Record reply{};
    PutBe32(reply, 0, 3);
    PutBe32(reply, 4, seqnum);
    PutBe32(reply, 24, 512);
    std::vector<uint8_t> bytes(reply.begin(), reply.end());
    bytes.resize(48 + 512, fill);
    ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

// The first URB is never answered in time; its unlink is answered "already
// done" (status 0), and only then, just before the answer to the next URB,
// does its own RET_SUBMIT come. Each later URB is answered with its number
// of order ('B', 'C', ...).
void AnswerAfterTheUnlink(int fd, const std::atomic<bool>&) {
    Record first{};
    Record unlink{};
    if (!Receive(fd, first) || !Receive(fd, unlink) || Be32At(unlink, 0) != 2 || Be32At(unlink, 20) != Be32At(first, 4)) {
        return;
    }
    Record unlinkReply{};
    PutBe32(unlinkReply, 0, 4);
    PutBe32(unlinkReply, 4, Be32At(unlink, 4));
    ::send(fd, unlinkReply.data(), unlinkReply.size(), MSG_NOSIGNAL);
    Record next{};
    for (uint8_t fill = 'B'; fill <= 'C' && Receive(fd, next); ++fill) {
        if (fill == 'B') {
            SendInReply(fd, Be32At(first, 4), 'A');
        }
        SendInReply(fd, Be32At(next, 4), fill);
    }
}

TEST(UsbipClientDeadline, AReplyAfterAnAlreadyDoneUnlinkIsNotTakenForTheNextOne) {
    ScriptedServer server(AnswerAfterTheUnlink);
    ASSERT_NE(server.Port(), 0);
    auto session = UsbipSession::Import({"127.0.0.1", server.Port(), "1-1"}, "1-1");
    ASSERT_TRUE(session.has_value());
    std::vector<uint8_t> buffer(512, 0);
    const UrbRequest request{.endpoint = 3, .in = true, .buffer = buffer.data(), .length = 512, .timeoutMs = 200};
    EXPECT_EQ(session->Submit(request).status, Status::TimeOut);

    for (uint8_t fill : {'B', 'C'}) {
        std::fill(buffer.begin(), buffer.end(), 0);
        const auto result = session->Submit({.endpoint = 3, .in = true, .buffer = buffer.data(), .length = 512, .timeoutMs = 5000});
        ASSERT_EQ(result.status, Status::Success) << (result.backendError ? result.backendError : "");
        EXPECT_EQ(result.bytesMoved, 512u);
        EXPECT_EQ(buffer, std::vector<uint8_t>(512, fill)) << "the late reply's data, or shifted";
    }
    EXPECT_FALSE(session->Broken());
}

} // namespace

// The far end of a loopback TCP connection for the USB/IP targets: a
// listening socket on a free port, and one connection at a time that is
// given bytes to send, then read until the other side closes.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace fuzzcheck {

inline constexpr int PeerWaitMs = 10000;

// Whether `fd` becomes readable within `timeoutMs`. libFuzzer's time-out
// watch interrupts system calls with SIGALRM: an interrupted wait goes on
// for the time that is left.
inline bool ReadableWithin(int fd, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd waiting{fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

// A connected socket, closed with the object.
class Socket {
public:
    explicit Socket(int fd) : fd_(fd) {}
    Socket(Socket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Socket& operator=(Socket&&) = delete;
    Socket(const Socket&) = delete;
    ~Socket() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int Fd() const { return fd_; }

    // Sends everything it can (the other side may have closed), then ends
    // the sending direction.
    void SendAndFinish(const uint8_t* data, size_t size) const {
        while (size > 0) {
            const ssize_t sent = ::send(fd_, data, size, MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR) {
                continue;
            }
            if (sent <= 0) {
                break;
            }
            data += sent;
            size -= static_cast<size_t>(sent);
        }
        ::shutdown(fd_, SHUT_WR);
    }

    // Reads and drops until the other side closes: false when it has not
    // within `timeoutMs`.
    bool DrainUntilClosed(int timeoutMs) const {
        uint8_t scrap[4096];
        for (;;) {
            if (!ReadableWithin(fd_, timeoutMs)) {
                return false;
            }
            const ssize_t count = ::recv(fd_, scrap, sizeof scrap, 0);
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count <= 0) {
                return true;
            }
        }
    }

private:
    int fd_ = -1;
};

inline int ListenOnLoopback(uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

inline std::optional<Socket> AcceptWithin(int listenFd, int timeoutMs) {
    if (!ReadableWithin(listenFd, timeoutMs)) {
        return std::nullopt;
    }
    int fd = -1;
    do {
        fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return std::nullopt;
    }
    return Socket(fd);
}

inline std::optional<Socket> ConnectToLoopback(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (fd < 0) {
        return std::nullopt;
    }
    Socket socket(fd);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        return socket;
    }
    if (errno != EINTR) {
        return std::nullopt;
    }
    // An interrupted connect goes on by itself: wait for its outcome.
    for (;;) {
        pollfd waiting{fd, POLLOUT, 0};
        const int ready = ::poll(&waiting, 1, PeerWaitMs);
        if (ready > 0) {
            break;
        }
        if (ready == 0 || errno != EINTR) {
            return std::nullopt;
        }
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
        return std::nullopt;
    }
    return socket;
}

} // namespace fuzzcheck

#include "platform/usb/tcp_stream.h"

#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace platform::usb {

namespace {

constexpr size_t ReadAheadSize = 64 * 1024;
// Reads at least this large go straight into the caller's buffer.
constexpr size_t DirectReadSize = 16 * 1024;
// What Linux takes in one sendmsg().
constexpr size_t MaxSendParts = 1024;

// poll()'s time-out for a deadline: -1 for none, else the rest rounded up.
int PollTimeout(Deadline deadline) {
    if (deadline == Deadline::max()) {
        return -1;
    }
    const auto now = std::chrono::steady_clock::now();
    if (deadline <= now) {
        return 0;
    }
    const auto rest = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    return static_cast<int>(std::min<std::chrono::milliseconds::rep>(rest, 1 << 30));
}

// poll() for one descriptor until the deadline; a signal (Ctrl-C handling,
// a profiler) does not end the wait early. poll()'s result.
int PollUntil(int fd, short events, Deadline deadline) {
    for (;;) {
        pollfd waiting{fd, events, 0};
        const int ready = ::poll(&waiting, 1, PollTimeout(deadline));
        if (ready >= 0 || errno != EINTR) {
            return ready;
        }
    }
}

int ConnectOne(const addrinfo& address, std::chrono::milliseconds timeout) {
    const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                            address.ai_protocol);
    if (fd < 0) {
        return -1;
    }
    if (::connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
        if (errno != EINPROGRESS) {
            ::close(fd);
            return -1;
        }
        const int ready = PollUntil(fd, POLLOUT, std::chrono::steady_clock::now() + timeout);
        int error = 0;
        socklen_t length = sizeof error;
        if (ready != 1 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            ::close(fd);
            errno = ready == 0 ? ETIMEDOUT : error != 0 ? error : errno;
            return -1;
        }
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // Small headers go out at once instead of waiting for the peer's acknowledgement.
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const timeval sendLimit{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
    return fd;
}

} // namespace

Deadline DeadlineAfter(uint32_t milliseconds) {
    if (milliseconds == 0) {
        return Deadline::max();
    }
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
}

std::optional<TcpStream> TcpStream::Connect(const std::string& host, uint16_t port,
                                            std::chrono::milliseconds timeout, std::string* why) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int unresolved = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
        unresolved != 0) {
        if (why != nullptr) {
            *why = ::gai_strerror(unresolved);
        }
        return std::nullopt;
    }
    int fd = -1;
    for (const addrinfo* address = found; address != nullptr && fd < 0; address = address->ai_next) {
        fd = ConnectOne(*address, timeout);
    }
    const int failure = errno;
    ::freeaddrinfo(found);
    if (fd < 0) {
        if (why != nullptr) {
            *why = std::strerror(failure);
        }
        return std::nullopt;
    }
    return TcpStream(fd);
}

TcpStream::TcpStream(TcpStream&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      readAhead_(std::move(other.readAhead_)),
      readStart_(std::exchange(other.readStart_, 0)),
      readEnd_(std::exchange(other.readEnd_, 0)) {}

TcpStream& TcpStream::operator=(TcpStream&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = std::exchange(other.fd_, -1);
        readAhead_ = std::move(other.readAhead_);
        readStart_ = std::exchange(other.readStart_, 0);
        readEnd_ = std::exchange(other.readEnd_, 0);
    }
    return *this;
}

TcpStream::~TcpStream() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool TcpStream::PeerClosed() {
    if (fd_ < 0) {
        return true;
    }
    if (Buffered() > 0) {
        return false;
    }
    pollfd waiting{fd_, POLLIN, 0};
    if (::poll(&waiting, 1, 0) <= 0) {
        return false;
    }
    if ((waiting.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
        return true;
    }
    uint8_t byte = 0;
    return ::recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

void TcpStream::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    readStart_ = 0;
    readEnd_ = 0;
}

TcpStream::Wait TcpStream::WaitReadable(Deadline deadline) {
    if (fd_ < 0) {
        return Wait::Failed;
    }
    if (Buffered() > 0) {
        return Wait::Ready;
    }
    const int ready = PollUntil(fd_, POLLIN, deadline);
    return ready > 0 ? Wait::Ready : ready == 0 ? Wait::TimedOut : Wait::Failed;
}

bool TcpStream::ReadAhead() {
    if (readAhead_.empty()) {
        readAhead_.resize(ReadAheadSize);
    }
    readStart_ = 0;
    readEnd_ = 0;
    for (;;) {
        const ssize_t count = ::recv(fd_, readAhead_.data(), readAhead_.size(), MSG_DONTWAIT);
        if (count > 0) {
            readEnd_ = static_cast<size_t>(count);
            return true;
        }
        if (count == 0) {
            return false;
        }
        if (errno != EINTR) {
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
    }
}

bool TcpStream::ReceiveExact(void* buffer, size_t size, Deadline deadline) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    size_t received = 0;
    while (received < size) {
        if (fd_ < 0) {
            return false;
        }
        if (Buffered() > 0) {
            const size_t piece = std::min(Buffered(), size - received);
            std::memcpy(bytes + received, readAhead_.data() + readStart_, piece);
            readStart_ += piece;
            received += piece;
            continue;
        }
        // Whatever has arrived is taken at once; only when nothing has does it wait.
        if (size - received >= DirectReadSize) {
            const ssize_t count = ::recv(fd_, bytes + received, size - received, MSG_DONTWAIT);
            if (count > 0) {
                received += static_cast<size_t>(count);
                continue;
            }
            if (count == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                return false;
            }
        } else {
            if (!ReadAhead()) {
                return false;
            }
            if (Buffered() > 0) {
                continue;
            }
        }
        if (WaitReadable(deadline) != Wait::Ready) {
            return false;
        }
    }
    return true;
}

bool TcpStream::SendAll(const void* buffer, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    size_t sent = 0;
    while (sent < size) {
        const ssize_t count = ::send(fd_, bytes + sent, size - sent, MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        sent += static_cast<size_t>(count);
    }
    return true;
}

bool TcpStream::SendAll(std::vector<iovec>& parts) {
    size_t first = 0;
    for (;;) {
        while (first < parts.size() && parts[first].iov_len == 0) {
            ++first;
        }
        if (first == parts.size()) {
            return true;
        }
        msghdr message{};
        message.msg_iov = parts.data() + first;
        message.msg_iovlen = std::min(parts.size() - first, MaxSendParts);
        const ssize_t count = ::sendmsg(fd_, &message, MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        // Past what went out: whole parts, then the front of a part sent in part.
        auto left = static_cast<size_t>(count);
        while (left > 0 && left >= parts[first].iov_len) {
            left -= parts[first].iov_len;
            ++first;
        }
        if (left > 0) {
            parts[first].iov_base = static_cast<uint8_t*>(parts[first].iov_base) + left;
            parts[first].iov_len -= left;
        }
    }
}

} // namespace platform::usb

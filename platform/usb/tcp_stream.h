// A TCP connection whose every wait has a deadline, so that a server that
// stops answering costs a bounded time and never a hang.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform::usb {

using Deadline = std::chrono::steady_clock::time_point;

// The deadline that many milliseconds from now; 0 means none at all.
Deadline DeadlineAfter(uint32_t milliseconds);

class TcpStream {
public:
    // Null when no address of the host accepts a connection before the time-out.
    static std::optional<TcpStream> Connect(const std::string& host, uint16_t port,
                                            std::chrono::milliseconds timeout);
    TcpStream(TcpStream&& other) noexcept;
    TcpStream& operator=(TcpStream&& other) noexcept;
    TcpStream(const TcpStream&) = delete;
    TcpStream& operator=(const TcpStream&) = delete;
    ~TcpStream();

    enum class Wait { Ready, TimedOut, Failed };
    // Waits until a byte can be read (or the peer has gone, which reading then shows).
    Wait WaitReadable(Deadline deadline);
    // All of the bytes, or false (peer gone, error, deadline passed).
    bool ReceiveExact(void* buffer, size_t size, Deadline deadline);
    bool SendAll(const void* buffer, size_t size);
    // True when the peer has closed the connection (or it failed); reads nothing.
    bool PeerClosed();
    // Ends the connection; every later call fails.
    void Close();

private:
    explicit TcpStream(int fd) : fd_(fd) {}
    int fd_ = -1;
};

} // namespace platform::usb

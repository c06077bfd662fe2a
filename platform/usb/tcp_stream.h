// A TCP connection whose every wait has a deadline, so that a server that
// stops answering costs a bounded time and never a hang.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <sys/uio.h>

namespace platform::usb {

using Deadline = std::chrono::steady_clock::time_point;

// The deadline that many milliseconds from now; 0 means none at all.
Deadline DeadlineAfter(uint32_t milliseconds);

class TcpStream {
public:
    // Null when no address of the host accepts a connection before the time-out;
    // `why` (when given) then receives the system's reason ("Connection refused").
    static std::optional<TcpStream> Connect(const std::string& host, uint16_t port,
                                            std::chrono::milliseconds timeout, std::string* why = nullptr);
    TcpStream(TcpStream&& other) noexcept;
    TcpStream& operator=(TcpStream&& other) noexcept;
    TcpStream(const TcpStream&) = delete;
    TcpStream& operator=(const TcpStream&) = delete;
    ~TcpStream();

    enum class Wait { Ready, TimedOut, Failed };
    // Waits until a byte can be read (or the peer has gone, which reading then shows).
    Wait WaitReadable(Deadline deadline);
    // All of the bytes, or false (peer gone, error, deadline passed). Small
    // reads are served from one larger read of whatever has arrived, so that
    // a burst of short messages costs one system call, not one each.
    bool ReceiveExact(void* buffer, size_t size, Deadline deadline);
    bool SendAll(const void* buffer, size_t size);
    // The parts one after the other, in as few system calls as the socket takes.
    bool SendAll(std::vector<iovec>& parts);
    // True when the peer has closed the connection (or it failed); reads nothing.
    bool PeerClosed();
    // Ends the connection; every later call fails.
    void Close();

private:
    explicit TcpStream(int fd) : fd_(fd) {}
    size_t Buffered() const { return readEnd_ - readStart_; }
    // One receive into the read-ahead buffer (emptied first); false on EOF or
    // error, true with nothing read when nothing has arrived.
    bool ReadAhead();

    int fd_ = -1;
    std::vector<uint8_t> readAhead_;
    size_t readStart_ = 0;
    size_t readEnd_ = 0;
};

} // namespace platform::usb

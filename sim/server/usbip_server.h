// Serves one simulated player over USB/IP: device list and import on any
// connection, then the imported connection's URBs, one client at a time.
#pragma once

#include "sim/server/usb_device.h"
#include "sim/server/usbip_wire.h"

#include <chrono>
#include <csignal>
#include <functional>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kvx512sim::server {

struct ServerOptions {
    std::string listenAddress = "127.0.0.1";
    uint16_t port = 3240;           // 0: any free port
    std::string busId = "1-1";
    bool verbose = false;           // connections and transcript on stdout
    // A detached player (unplugged by a fault or a firmware download) comes
    // back after this long; 0 leaves it detached.
    uint32_t reattachMs = 1000;
    // A connection that has not imported the player is closed after this
    // long without a byte; 0: never.
    uint32_t idleTimeoutMs = 10000;
};

class UsbipServer {
public:
    UsbipServer(UsbDevice& device, ServerOptions options);
    ~UsbipServer();
    UsbipServer(const UsbipServer&) = delete;
    UsbipServer& operator=(const UsbipServer&) = delete;

    // Binds and listens; false with a sentence in error.
    bool Listen(std::string& error);
    // The port actually bound (differs from the option's when that was 0).
    uint16_t Port() const { return boundPort_; }
    // Serves until stopFlag turns non-zero. Signals are taken only while
    // waiting, under waitMask (the mask the caller blocked them outside of).
    void Run(const volatile std::sig_atomic_t& stopFlag, const sigset_t& waitMask);
    // Called whenever an imported connection ends (to save the storage, say).
    void OnSessionEnd(std::function<void()> callback) { onSessionEnd_ = std::move(callback); }

private:
    struct PendingIn {
        uint32_t seqnum = 0;
        uint32_t endpoint = 0;
        uint32_t length = 0;
    };
    struct Connection {
        int fd = -1;
        bool imported = false;
        bool closing = false;
        // Received bytes: [consumed, filled) not yet handled. The buffer keeps
        // its size, so receiving allocates nothing once it has grown.
        std::vector<uint8_t> input;
        size_t consumed = 0;
        size_t filled = 0;
        // Replies not yet sent, [0, outFilled): everything a burst of requests
        // gets back goes out in one send.
        std::vector<uint8_t> output;
        size_t outFilled = 0;
        std::deque<PendingIn> pending;
        std::chrono::steady_clock::time_point lastHeard{};
    };

    void Accept();
    // At the connection limit: the connection that has not imported and was
    // heard from least recently makes room; false when every one has imported.
    bool MakeRoom();
    void CloseIdle();
    void Receive(Connection& connection);
    // Handles every complete message in the input; false when the peer broke the protocol.
    bool Process(Connection& connection);
    bool ProcessOperation(Connection& connection, size_t& used);
    bool ProcessUrb(Connection& connection, size_t& used);
    void ServePending(Connection& connection);
    // Room for `size` more bytes of output; where they go.
    uint8_t* GrowOutput(Connection& connection, size_t size);
    // Queues the bytes for the connection; dropped once it is closing.
    void Send(Connection& connection, const std::vector<uint8_t>& bytes);
    void Flush(Connection& connection);
    void Close(Connection& connection);
    // When the server must look again without a request: the first pending
    // request due, or a detached player's return. Null: wait for the sockets.
    std::optional<std::chrono::steady_clock::time_point> NextWake();
    // The player was found detached: the imported connection ends, and the
    // player comes back after the option's time (if any).
    void NoteDetached();
    void ReattachWhenDue();
    bool DeviceImported() const;
    ExportedDevice Exported() const;
    void Log(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    UsbDevice& device_;
    ServerOptions options_;
    int listenFd_ = -1;
    uint16_t boundPort_ = 0;
    std::vector<std::unique_ptr<Connection>> connections_;
    std::function<void()> onSessionEnd_;
    std::chrono::steady_clock::time_point detachedAt_{};
    bool seenDetached_ = false;
};

} // namespace kvx512sim::server

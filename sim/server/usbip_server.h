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
        std::vector<uint8_t> input;
        std::deque<PendingIn> pending;
    };

    void Accept();
    void Receive(Connection& connection);
    // Handles every complete message in the input; false when the peer broke the protocol.
    bool Process(Connection& connection);
    bool ProcessOperation(Connection& connection, size_t& used);
    bool ProcessUrb(Connection& connection, size_t& used);
    void ServePending(Connection& connection);
    void Send(Connection& connection, const std::vector<uint8_t>& bytes);
    void Close(Connection& connection);
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

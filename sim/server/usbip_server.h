// Serves simulated players over USB/IP: device list and import on any
// connection, then the imported connection's URBs; each player is imported
// by one client at a time, and each comes and goes on its own.
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
    std::string busId = "1-1";     // the one player's, when the server is given one
    bool verbose = false;           // connections and transcript on stdout
    // A detached player (unplugged by a fault or a firmware download) comes
    // back after this long; 0 leaves it detached.
    uint32_t reattachMs = 1000;
    // A connection that has not imported the player is closed after this
    // long without a byte; 0: never.
    uint32_t idleTimeoutMs = 10000;
};

// One player the server exports, under its bus ID; the device is the caller's.
struct ExportedPlayer {
    std::string busId;
    UsbDevice* device = nullptr;
    // Unplugged for good this long after it was first imported; 0: never.
    uint32_t vanishAfterMs = 0;
};

class UsbipServer {
public:
    // One player, under the options' bus ID.
    UsbipServer(UsbDevice& device, ServerOptions options);
    // Several, in the order the device list gives them; their bus IDs differ.
    UsbipServer(std::vector<ExportedPlayer> players, ServerOptions options);
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
    // Called whenever an imported connection ends (to save the storage, say),
    // with the index of the player it had imported.
    void OnSessionEnd(std::function<void(size_t)> callback) { onSessionEnd_ = std::move(callback); }

private:
    struct PendingIn {
        uint32_t seqnum = 0;
        uint32_t endpoint = 0;
        uint32_t length = 0;
    };
    struct Served {
        ExportedPlayer player;
        std::chrono::steady_clock::time_point detachedAt{};
        bool seenDetached = false;
        std::optional<std::chrono::steady_clock::time_point> vanishAt;
        bool vanished = false;
    };
    struct Connection {
        int fd = -1;
        bool imported = false;
        size_t player = 0;          // the index of the imported one
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
    // The player was found detached: its imported connection ends, and the
    // player comes back after the option's time (if any).
    void NoteDetached(size_t player);
    void ReattachWhenDue();
    void VanishWhenDue();
    // Attached, and not gone for good.
    bool Present(size_t player) const;
    bool Imported(size_t player) const;
    ExportedDevice Exported(size_t player) const;
    UsbDevice& DeviceOf(const Connection& connection) { return *served_[connection.player].player.device; }
    void Log(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    std::vector<Served> served_;
    ServerOptions options_;
    int listenFd_ = -1;
    uint16_t boundPort_ = 0;
    std::vector<std::unique_ptr<Connection>> connections_;
    std::function<void(size_t)> onSessionEnd_;
};

} // namespace kvx512sim::server

#include "sim/server/usbip_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace kvx512sim::server {

namespace {

// Connections beyond one imported per player (device lists, imports under way).
constexpr size_t SpareConnections = 16;
constexpr uint32_t MaxUrbLength = 16u << 20;   // far above any transfer the player takes
// A host queues requests (64 blocks of a 32 KiB read at once, say); this
// only bounds a host that never stops.
constexpr size_t MaxPendingIn = 1024;
constexpr size_t ReceiveChunk = 64 * 1024;
constexpr auto ReplugPoll = std::chrono::milliseconds(50);

constexpr uint32_t ImportFailed = 1;

} // namespace

UsbipServer::UsbipServer(UsbDevice& device, ServerOptions options)
    : UsbipServer(std::vector<ExportedPlayer>{{options.busId, &device, 0}}, options) {}

UsbipServer::UsbipServer(std::vector<ExportedPlayer> players, ServerOptions options) : options_(std::move(options)) {
    for (auto& player : players) {
        served_.push_back({std::move(player), {}, false, std::nullopt, false});
    }
}

UsbipServer::~UsbipServer() {
    for (auto& connection : connections_) {
        Close(*connection);
    }
    if (listenFd_ >= 0) {
        ::close(listenFd_);
    }
}

void UsbipServer::Log(const char* format, ...) const {
    if (!options_.verbose) {
        return;
    }
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::fflush(stdout);
}

bool UsbipServer::Listen(std::string& error) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(options_.port);
    if (::inet_pton(AF_INET, options_.listenAddress.c_str(), &address.sin_addr) != 1) {
        error = "not an IPv4 address: " + options_.listenAddress;
        return false;
    }
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        error = std::strerror(errno);
        return false;
    }
    const int on = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 8) != 0) {
        error = std::string("cannot listen on ") + options_.listenAddress + ":" +
                std::to_string(options_.port) + ": " + std::strerror(errno);
        return false;
    }
    socklen_t length = sizeof address;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
    boundPort_ = ntohs(address.sin_port);
    return true;
}

std::optional<std::chrono::steady_clock::time_point> UsbipServer::NextWake() {
    // Pending requests are looked at again only when the player says one is
    // due: a read that waits for a withheld reply costs nothing meanwhile.
    std::optional<std::chrono::steady_clock::time_point> wake;
    for (const auto& connection : connections_) {
        if (connection->closing || connection->pending.empty()) {
            continue;
        }
        if (const auto due = DeviceOf(*connection).BulkInDueAt(connection->pending.front().endpoint)) {
            wake = wake ? std::min(*wake, *due) : *due;
        }
    }
    if (options_.idleTimeoutMs > 0) {
        for (const auto& connection : connections_) {
            if (!connection->imported && !connection->closing) {
                const auto idleEnd = connection->lastHeard + std::chrono::milliseconds(options_.idleTimeoutMs);
                wake = wake ? std::min(*wake, idleEnd) : idleEnd;
            }
        }
    }
    const bool anyDetached =
        std::any_of(served_.begin(), served_.end(), [](const Served& served) { return served.seenDetached; });
    if (anyDetached && options_.reattachMs > 0) {
        const auto replug = std::chrono::steady_clock::now() + ReplugPoll;
        wake = wake ? std::min(*wake, replug) : replug;
    }
    for (const Served& served : served_) {
        if (served.vanishAt && !served.vanished) {
            wake = wake ? std::min(*wake, *served.vanishAt) : *served.vanishAt;
        }
    }
    return wake;
}

void UsbipServer::Run(const volatile std::sig_atomic_t& stopFlag, const sigset_t& waitMask) {
    std::vector<pollfd> fds;
    while (stopFlag == 0) {
        fds.clear();
        fds.push_back({listenFd_, POLLIN, 0});
        for (const auto& connection : connections_) {
            fds.push_back({connection->fd, POLLIN, 0});
        }
        timespec wait{};
        const auto wake = NextWake();
        if (wake) {
            const auto rest = std::max(std::chrono::nanoseconds(0), *wake - std::chrono::steady_clock::now());
            wait.tv_sec = static_cast<time_t>(rest.count() / 1000000000);
            wait.tv_nsec = static_cast<long>(rest.count() % 1000000000);
        }
        const int ready = ::ppoll(fds.data(), fds.size(), wake ? &wait : nullptr, &waitMask);
        if (ready < 0 && errno != EINTR) {
            break;
        }
        if (ready > 0) {
            // Connections first: a new one appended now has no entry in fds.
            const size_t known = connections_.size();
            for (size_t i = 0; i < known; ++i) {
                if ((fds[i + 1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                    Receive(*connections_[i]);
                }
            }
            if ((fds[0].revents & POLLIN) != 0) {
                Accept();
            }
        }
        for (auto& connection : connections_) {
            if (!connection->closing) {
                ServePending(*connection);
            }
            Flush(*connection);
        }
        VanishWhenDue();
        ReattachWhenDue();
        CloseIdle();
        for (auto& connection : connections_) {
            if (connection->closing) {
                Close(*connection);
            }
        }
        std::erase_if(connections_, [](const auto& connection) { return connection->fd < 0; });
    }
}

void UsbipServer::NoteDetached(size_t player) {
    // Unplugged: the imported connection ends, as when a real device goes away.
    for (auto& connection : connections_) {
        if (connection->imported && connection->player == player) {
            connection->closing = true;
        }
    }
    Served& served = served_[player];
    if (!served.seenDetached) {
        served.seenDetached = true;
        served.detachedAt = std::chrono::steady_clock::now();
        Log("player %s detached\n", served.player.busId.c_str());
    }
}

void UsbipServer::ReattachWhenDue() {
    // Only here is a player looked at without a request from a client.
    const auto now = std::chrono::steady_clock::now();
    for (Served& served : served_) {
        if (!served.seenDetached || options_.reattachMs == 0 || served.vanished ||
            now - served.detachedAt < std::chrono::milliseconds(options_.reattachMs)) {
            continue;
        }
        served.player.device->GetPlayer()->Attach();
        served.seenDetached = false;
        Log("player %s attached again\n", served.player.busId.c_str());
    }
}

void UsbipServer::Accept() {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
        return;
    }
    if (connections_.size() >= served_.size() + SpareConnections - 1 && !MakeRoom()) {
        ::close(fd);
        return;
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    // A client that stops reading must not stall the server for good.
    const timeval sendLimit{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
    auto connection = std::make_unique<Connection>();
    connection->fd = fd;
    connection->lastHeard = std::chrono::steady_clock::now();
    connections_.push_back(std::move(connection));
    Log("connection %d opened\n", fd);
}

bool UsbipServer::MakeRoom() {
    Connection* oldest = nullptr;
    for (auto& connection : connections_) {
        if (!connection->imported && connection->fd >= 0 &&
            (oldest == nullptr || connection->lastHeard < oldest->lastHeard)) {
            oldest = connection.get();
        }
    }
    if (oldest == nullptr) {
        return false;
    }
    Log("connection %d closed to make room\n", oldest->fd);
    Close(*oldest);
    std::erase_if(connections_, [](const auto& connection) { return connection->fd < 0; });
    return true;
}

void UsbipServer::CloseIdle() {
    if (options_.idleTimeoutMs == 0) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    for (auto& connection : connections_) {
        if (!connection->imported && !connection->closing &&
            now - connection->lastHeard >= std::chrono::milliseconds(options_.idleTimeoutMs)) {
            Log("connection %d idle\n", connection->fd);
            connection->closing = true;
        }
    }
}

void UsbipServer::Receive(Connection& connection) {
    // What is left of a message moves to the front; the buffer grows only
    // for a message larger than any before.
    if (connection.consumed > 0) {
        std::memmove(connection.input.data(), connection.input.data() + connection.consumed,
                     connection.filled - connection.consumed);
        connection.filled -= connection.consumed;
        connection.consumed = 0;
    }
    if (connection.input.size() < connection.filled + ReceiveChunk) {
        connection.input.resize(connection.filled + ReceiveChunk);
    }
    const ssize_t count = ::recv(connection.fd, connection.input.data() + connection.filled,
                                 connection.input.size() - connection.filled, MSG_DONTWAIT);
    if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;
    }
    if (count <= 0) {
        connection.closing = true;
        return;
    }
    connection.filled += static_cast<size_t>(count);
    connection.lastHeard = std::chrono::steady_clock::now();
    if (!Process(connection)) {
        Log("connection %d: protocol error, closed\n", connection.fd);
        connection.closing = true;
    }
}

bool UsbipServer::Process(Connection& connection) {
    bool ok = true;
    while (ok && !connection.closing) {
        size_t step = 0;
        ok = connection.imported ? ProcessUrb(connection, step) : ProcessOperation(connection, step);
        if (step == 0) {
            break;   // waiting for more bytes
        }
        connection.consumed += step;
    }
    return ok;
}

void UsbipServer::VanishWhenDue() {
    const auto now = std::chrono::steady_clock::now();
    for (size_t player = 0; player < served_.size(); ++player) {
        Served& served = served_[player];
        if (served.vanishAt && !served.vanished && now >= *served.vanishAt) {
            served.player.device->GetPlayer()->Detach();
            served.vanished = true;
            Log("player %s vanishes\n", served.player.busId.c_str());
            NoteDetached(player);
        }
    }
}

bool UsbipServer::Present(size_t player) const {
    return !served_[player].vanished && served_[player].player.device->GetPlayer()->Attached();
}

bool UsbipServer::Imported(size_t player) const {
    return std::any_of(connections_.begin(), connections_.end(), [player](const auto& connection) {
        return connection->imported && !connection->closing && connection->player == player;
    });
}

ExportedDevice UsbipServer::Exported(size_t player) const {
    const ExportedPlayer& exported = served_[player].player;
    ExportedDevice device;
    device.busId = exported.busId;
    device.path = "/sys/devices/platform/kvx512-sim/usb1/" + exported.busId;
    // Device numbers as a hub hands them out, so that each player's devid differs.
    device.deviceNumber = static_cast<uint32_t>(2 + player);
    device.vendorId = VendorId;
    device.productId = exported.device->GetPlayer()->ProductId();
    device.bcdDevice = 0x0100;
    device.deviceClass = 0xFF;
    device.interfaces.push_back({0xFF, 0x00, 0x00});
    return device;
}

bool UsbipServer::ProcessOperation(Connection& connection, size_t& used) {
    const uint8_t* input = connection.input.data() + connection.consumed;
    const size_t received = connection.filled - connection.consumed;
    if (received < OpHeaderSize) {
        return true;
    }
    const uint16_t version = Load16(&input[0]);
    const uint16_t code = Load16(&input[2]);
    if (code == OpReqDevlist) {
        used = OpHeaderSize;
        auto reply = OpHeader(OpRepDevlist, 0);
        reply.resize(reply.size() + 4, 0);
        uint32_t listed = 0;
        for (size_t player = 0; player < served_.size(); ++player) {
            if (!Present(player)) {
                NoteDetached(player);
                continue;
            }
            served_[player].seenDetached = false;   // back, whoever attached it
            const auto record = DeviceRecord(Exported(player), true);
            reply.insert(reply.end(), record.begin(), record.end());
            ++listed;
        }
        Store32(&reply[OpHeaderSize], listed);
        Log("connection %d: device list\n", connection.fd);
        Send(connection, reply);
        connection.closing = true;
        return true;
    }
    if (code == OpReqImport) {
        if (received < OpHeaderSize + BusIdSize) {
            return true;
        }
        used = OpHeaderSize + BusIdSize;
        const char* requested = reinterpret_cast<const char*>(&input[OpHeaderSize]);
        const std::string busId(requested, strnlen(requested, BusIdSize));
        const auto found = std::find_if(served_.begin(), served_.end(),
                                        [&busId](const Served& served) { return served.player.busId == busId; });
        const auto player = static_cast<size_t>(found - served_.begin());
        const bool available = version == UsbipVersion && found != served_.end() &&
                               Present(player) && !Imported(player);
        Log("connection %d: import %s %s\n", connection.fd, busId.c_str(), available ? "granted" : "refused");
        if (!available) {
            Send(connection, OpHeader(OpRepImport, ImportFailed));
            connection.closing = true;
            return true;
        }
        auto reply = OpHeader(OpRepImport, 0);
        const auto record = DeviceRecord(Exported(player), false);
        reply.insert(reply.end(), record.begin(), record.end());
        Send(connection, reply);
        connection.imported = true;
        connection.player = player;
        if (found->player.vanishAfterMs > 0 && !found->vanishAt) {
            found->vanishAt =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(found->player.vanishAfterMs);
        }
        return true;
    }
    return false;
}

bool UsbipServer::ProcessUrb(Connection& connection, size_t& used) {
    uint8_t* input = connection.input.data() + connection.consumed;
    const size_t available = connection.filled - connection.consumed;
    if (available < UrbHeaderSize) {
        return true;
    }
    const UrbCommand command = ReadUrbCommand(input);
    if (command.command == CmdUnlink) {
        used = UrbHeaderSize;
        const auto found = std::find_if(connection.pending.begin(), connection.pending.end(),
                                        [&](const PendingIn& in) { return in.seqnum == command.unlinkSeqnum; });
        int32_t status = UrbOk;   // already answered
        if (found != connection.pending.end()) {
            connection.pending.erase(found);
            status = UrbUnlinked;
        }
        Log("unlink %u: %s\n", command.unlinkSeqnum, status == UrbOk ? "already done" : "unlinked");
        Send(connection, RetUnlinkRecord(command.seqnum, status));
        return true;
    }
    if (command.command != CmdSubmit || command.bufferLength > MaxUrbLength) {
        return false;
    }
    const bool iso = command.packetCount != 0 && command.packetCount != 0xFFFFFFFFu;
    if (iso) {
        return false;   // the device has no isochronous endpoints
    }
    const bool out = command.direction == DirectionOut;
    const size_t needed = UrbHeaderSize + (out ? command.bufferLength : 0);
    if (available < needed) {
        return true;
    }
    used = needed;
    // OUT data is handed on where it was received, never copied here.
    uint8_t* outData = input + UrbHeaderSize;
    const uint32_t outLength = out ? command.bufferLength : 0;
    const uint32_t endpoint = command.endpoint & 0x0F;
    if (endpoint == 0) {
        if (command.setup[0] == 0xC0 && command.setup[1] == TestRequestPendingCount) {
            const auto count = static_cast<uint16_t>(std::min<size_t>(connection.pending.size(), 0xFFFF));
            std::vector<uint8_t> answer{static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8)};
            answer.resize(std::min<size_t>(answer.size(), command.bufferLength));
            const auto actual = static_cast<uint32_t>(answer.size());
            Send(connection, RetSubmitRecord(command.seqnum, UrbOk, answer, actual));
            return true;
        }
        const UrbResult result =
            DeviceOf(connection).Control(command.setup, outData, outLength, out ? 0 : command.bufferLength);
        if (result.status == UrbNoDevice) {
            NoteDetached(connection.player);
        }
        Send(connection, RetSubmitRecord(command.seqnum, result.status, result.inData,
                                         out && result.status == UrbOk ? command.bufferLength : result.actual));
    } else if (out) {
        const UrbResult result = DeviceOf(connection).BulkOut(endpoint, outData, outLength);
        if (result.status == UrbNoDevice) {
            NoteDetached(connection.player);
        }
        Send(connection, RetSubmitRecord(command.seqnum, result.status, {}, result.actual));
    } else {
        if (connection.pending.size() >= MaxPendingIn) {
            return false;
        }
        connection.pending.push_back({command.seqnum, endpoint, command.bufferLength});
    }
    ServePending(connection);
    return true;
}

void UsbipServer::ServePending(Connection& connection) {
    // In order: a later request never overtakes an earlier one. The player is
    // asked only once the first is due, and answers straight into the output.
    while (!connection.pending.empty() && !connection.closing) {
        const PendingIn in = connection.pending.front();
        UsbDevice& device = DeviceOf(connection);
        const auto due = device.BulkInDueAt(in.endpoint);
        if (!due || *due > std::chrono::steady_clock::now()) {
            return;
        }
        const size_t start = connection.outFilled;
        uint8_t* reply = GrowOutput(connection, UrbHeaderSize + in.length);
        const auto result = device.BulkIn(in.endpoint, reply + UrbHeaderSize, in.length);
        if (!result) {
            connection.outFilled = start;
            return;
        }
        connection.pending.pop_front();
        if (result->status == UrbNoDevice) {
            // Unplugged: the connection ends without this answer, as others do.
            connection.outFilled = start;
            NoteDetached(connection.player);
            return;
        }
        FillRetSubmitHeader(reply, in.seqnum, result->status, result->actual);
        connection.outFilled = start + UrbHeaderSize + (result->status == UrbOk ? result->actual : 0);
    }
}

uint8_t* UsbipServer::GrowOutput(Connection& connection, size_t size) {
    if (connection.output.size() < connection.outFilled + size) {
        connection.output.resize(connection.outFilled + size);
    }
    uint8_t* at = connection.output.data() + connection.outFilled;
    connection.outFilled += size;
    return at;
}

void UsbipServer::Send(Connection& connection, const std::vector<uint8_t>& bytes) {
    if (connection.closing) {
        return;
    }
    std::memcpy(GrowOutput(connection, bytes.size()), bytes.data(), bytes.size());
}

void UsbipServer::Flush(Connection& connection) {
    size_t sent = 0;
    while (sent < connection.outFilled && connection.fd >= 0) {
        const ssize_t count =
            ::send(connection.fd, connection.output.data() + sent, connection.outFilled - sent, MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            connection.closing = true;
            break;
        }
        sent += static_cast<size_t>(count);
    }
    connection.outFilled = 0;
}

void UsbipServer::Close(Connection& connection) {
    if (connection.fd < 0) {
        return;
    }
    Log("connection %d closed%s\n", connection.fd,
        connection.pending.empty() ? "" : " with requests pending");
    ::close(connection.fd);
    connection.fd = -1;
    connection.pending.clear();
    if (connection.imported) {
        DeviceOf(connection).EndSession();
    }
    if (connection.imported && onSessionEnd_) {
        onSessionEnd_(connection.player);
    }
    connection.imported = false;
}

} // namespace kvx512sim::server

// The simulated player's USB/IP server on any bytes from a client: a fresh
// player per input, the input sent on a connection of its own, then the
// sending side closed. The server must answer what it can and close the
// connection in its turn, never hang on it or fall over.
#include "sim/player.h"
#include "sim/server/usb_device.h"
#include "sim/server/usbip_server.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/loopback_peer.h"

#include <csignal>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace {

std::mutex playerMutex;
std::shared_ptr<kvx512sim::Player> currentPlayer = std::make_shared<kvx512sim::Player>();
kvx512sim::server::UsbipServer* server = nullptr;

std::shared_ptr<kvx512sim::Player> CurrentPlayer() {
    std::lock_guard lock(playerMutex);
    return currentPlayer;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::signal(SIGPIPE, SIG_IGN);
    // Never destroyed: the server thread runs until the process ends.
    auto* device = new kvx512sim::server::UsbDevice(CurrentPlayer, nullptr);
    kvx512sim::server::ServerOptions options;
    options.port = 0;
    options.reattachMs = 1;
    server = new kvx512sim::server::UsbipServer(*device, options);
    std::string error;
    fuzzcheck::Require(server->Listen(error), "the server listens on a loopback port");
    std::thread([] {
        static const volatile std::sig_atomic_t never = 0;
        sigset_t mask;
        sigemptyset(&mask);
        server->Run(never, mask);
    }).detach();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        std::lock_guard lock(playerMutex);
        currentPlayer = std::make_shared<kvx512sim::Player>();
    }
    auto connection = fuzzcheck::ConnectToLoopback(server->Port());
    fuzzcheck::Require(connection.has_value(), "the server accepts a connection");
    connection->SendAndFinish(data, size);
    fuzzcheck::Require(connection->DrainUntilClosed(fuzzcheck::PeerWaitMs),
                       "the server closes a connection whose client has finished");
    return 0;
}

// Puts the USB/IP wire between libportio.so and the in-process simulated
// player: a server thread serves the bus's player on a free loopback port, and
// KVX512_USB points at it before any test chooses the backend. The export
// tests then run unchanged, every byte through the client backend and the server.
#include "sim/bus.h"
#include "sim/server/usbip_server.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

// The bus's first player, looked up per request: tests replace it.
std::shared_ptr<kvx512sim::Player> CurrentPlayer() {
    if (auto player = kvx512sim::Bus::Instance().SharedPlayer(0)) {
        return player;
    }
    auto absent = std::make_shared<kvx512sim::Player>();
    absent->Detach();
    return absent;
}

class LoopbackServer : public ::testing::Environment {
public:
    void SetUp() override {
        // Never destroyed: the server thread runs until the process ends.
        // KVX512_LOOPBACK_VERBOSE=1 prints what the server sees, for a failing test.
        const bool verbose = std::getenv("KVX512_LOOPBACK_VERBOSE") != nullptr;
        device_ = new kvx512sim::server::UsbDevice(CurrentPlayer, verbose ? stdout : nullptr, true);
        kvx512sim::server::ServerOptions options;
        options.verbose = verbose;
        options.port = 0;
        options.reattachMs = 0;   // a test that detaches the player decides when it comes back
        server_ = new kvx512sim::server::UsbipServer(*device_, options);
        std::string error;
        ASSERT_TRUE(server_->Listen(error)) << error;
        const std::string url = "usbip://127.0.0.1:" + std::to_string(server_->Port());
        ::setenv("KVX512_USB", url.c_str(), 1);
        std::thread([server = server_] {
            static const volatile std::sig_atomic_t never = 0;
            sigset_t mask;
            sigemptyset(&mask);
            server->Run(never, mask);
        }).detach();
    }

private:
    kvx512sim::server::UsbDevice* device_ = nullptr;
    kvx512sim::server::UsbipServer* server_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const loopback = ::testing::AddGlobalTestEnvironment(new LoopbackServer);

} // namespace

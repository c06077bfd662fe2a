// Puts real libusb-1.0 between the libraries and the in-process simulated
// player: before any test chooses the backend, the bus's first player is
// plugged in as an emulated usbdevfs node at port 1-1 and KVX512_USB is
// cleared (libusb, the default). The transport-independent tests then run
// unchanged, every byte through libusb's URBs. Without umockdev every test
// is skipped, saying why.
#include "sim/bus.h"
#include "tests/integration/libusb/emulated_player_environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

testsupport::EmulatedUsb* usb = nullptr;

class EmulatedPlayerEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        const std::string why = testsupport::EmulatedUsb::Unavailable();
        if (!why.empty()) {
            GTEST_SKIP() << why;
        }
        ::unsetenv("KVX512_USB");
        usb = new testsupport::EmulatedUsb;
        usb->Plug(1, testsupport::BusPlayer(0));
        // The backend, made later, lets go of the node at exit: the testbed
        // goes after it (exit handlers run in the reverse order of statics).
        std::atexit([] { delete usb; });
    }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new EmulatedPlayerEnvironment);

} // namespace

testsupport::EmulatedUsb* testsupport::TheEmulatedUsb() { return usb; }

kvx512sim::server::PlayerSource testsupport::BusPlayer(size_t index) {
    return [index] {
        if (auto player = kvx512sim::Bus::Instance().SharedPlayer(index)) {
            return player;
        }
        auto absent = std::make_shared<kvx512sim::Player>();
        absent->Detach();
        return absent;
    };
}

// Real players through libusb-1.0.
#include "platform/usb/usb_driver.h"

namespace platform::usb {

namespace {

// Reports no devices yet; transfers to real hardware are added with the
// transports work.
class LibusbBackend final : public Backend {
public:
    DriverHandle OpenDriver() override { return nullptr; }
    std::vector<PresentDevice> ListPresentDevices() override { return {}; }
};

} // namespace

std::unique_ptr<Backend> MakeLibusbBackend() { return std::make_unique<LibusbBackend>(); }

} // namespace platform::usb

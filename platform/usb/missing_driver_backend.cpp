#include "platform/usb/usb_driver.h"

namespace platform::usb {

namespace {

// Stands for a machine without the driver: nothing can be opened or listed.
class MissingDriverBackend final : public Backend {
public:
    DriverHandle OpenDriver() override { return nullptr; }
    std::vector<PresentDevice> ListPresentDevices() override { return {}; }
    std::vector<DeviceLocation> ListLocations() override { return {}; }
};

} // namespace

std::unique_ptr<Backend> MakeMissingDriverBackend() { return std::make_unique<MissingDriverBackend>(); }

} // namespace platform::usb

#include "platform/usb/usb_driver.h"

#include "platform/usb/usb_trace.h"

#include <cstdlib>
#include <string_view>

namespace platform::usb {

namespace {

std::unique_ptr<Backend> MakeBackendFromEnvironment() {
    const char* value = std::getenv("KVX512_USB");
    std::string_view choice = value != nullptr ? value : "";
    if (choice.empty() || choice == "libusb") {
        return MakeLibusbBackend();
    }
    if (choice == "sim") {
        return MakeSimBackend();
    }
    if (auto usbip = MakeUsbipBackend(choice)) {
        return usbip;
    }
    return MakeMissingDriverBackend();
}

} // namespace

Backend& CurrentBackend() {
    static const std::unique_ptr<Backend> backend = MakeBackendFromEnvironment();
    return *backend;
}

DriverHandle OpenDriver() {
    DriverHandle driver = CurrentBackend().OpenDriver();
    if (driver == nullptr && trace::On()) [[unlikely]] {
        const char* choice = std::getenv("KVX512_USB");
        trace::OpenFailed(choice != nullptr ? choice : "");
    }
    return driver;
}

std::vector<PresentDevice> ListPresentDevices() {
    std::vector<PresentDevice> devices = CurrentBackend().ListPresentDevices();
    if (trace::On()) [[unlikely]] {
        trace::DeviceList(devices.size());
    }
    return devices;
}

} // namespace platform::usb

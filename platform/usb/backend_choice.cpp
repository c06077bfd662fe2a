#include "platform/usb/usb_driver.h"

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

DriverHandle OpenDriver() { return CurrentBackend().OpenDriver(); }

std::vector<PresentDevice> ListPresentDevices() { return CurrentBackend().ListPresentDevices(); }

} // namespace platform::usb

#include "platform/usb/usb_driver.h"

#include "platform/usb/transport_error.h"
#include "platform/usb/usb_trace.h"

#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

namespace platform::usb {

namespace {

std::unique_ptr<Backend> MakeBackendNamed(std::string_view choice) {
    if (choice.empty() || choice == "libusb") {
        return MakeLibusbBackend();
    }
    if (choice == "sim") {
        return MakeSimBackend();
    }
    if (choice.starts_with("replay:")) {
        return MakeReplayBackend(choice.substr(7));
    }
    if (auto usbip = MakeUsbipBackend(choice)) {
        return usbip;
    }
    if (choice.find(' ') != std::string_view::npos) {
        if (auto bench = MakeUsbipBenchBackend(choice)) {
            return bench;
        }
    }
    SetTransportError("KVX512_USB=" + std::string(choice) +
                      " names no way of reaching a player; it takes libusb (the default), sim or "
                      "usbip://HOST[:PORT][/BUSID], or several of those separated by spaces.");
    return MakeMissingDriverBackend();
}

std::unique_ptr<Backend> MakeBackendFromEnvironment() {
    const char* value = std::getenv("KVX512_USB");
    std::unique_ptr<Backend> backend = MakeBackendNamed(value != nullptr ? value : "");
    if (const char* record = std::getenv("KVX512_RECORD"); record != nullptr && *record != '\0') {
        backend = MakeRecordingBackend(std::move(backend), record);
    }
    if (const char* device = std::getenv("KVX512_DEVICE"); device != nullptr && *device != '\0') {
        backend->Choose(device);
    }
    return backend;
}

} // namespace

Backend& CurrentBackend() {
    static const std::unique_ptr<Backend> backend = MakeBackendFromEnvironment();
    return *backend;
}

std::vector<DeviceLocation> ListLocations() { return CurrentBackend().ListLocations(); }

void Backend::Choose(const std::string& locationId) {
    {
        std::lock_guard lock(choiceMutex_);
        chosen_ = locationId;
    }
    OnChosen(locationId);
}

std::string Backend::Chosen() const {
    std::lock_guard lock(choiceMutex_);
    return chosen_;
}

void ChooseDevice(const std::string& locationId) { CurrentBackend().Choose(locationId); }

std::string ChosenDevice() { return CurrentBackend().Chosen(); }

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

// Real players through libusb-1.0.
#include "platform/usb/forwarding_driver.h"
#include "platform/usb/usb_driver.h"

#include <libusb.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>

namespace platform::usb {

namespace {

constexpr uint32_t LibusbDriverVersion = 1100;

Status StatusOf(int error) {
    switch (error) {
    case LIBUSB_SUCCESS: return Status::Success;
    case LIBUSB_ERROR_TIMEOUT: return Status::TimeOut;
    case LIBUSB_ERROR_PIPE: return Status::Stall;
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_NOT_FOUND: return Status::NoDevice;
    default: return Status::Failed;
    }
}

// "1-4.2": bus number and the port path, as the device list names a device
// that is not opened (its serial number would need opening it).
std::string PortPath(libusb_device* device) {
    uint8_t ports[8];
    const int depth = libusb_get_port_numbers(device, ports, sizeof ports);
    std::string path = std::to_string(libusb_get_bus_number(device));
    for (int i = 0; i < depth; ++i) {
        path += (i == 0 ? "-" : ".") + std::to_string(ports[i]);
    }
    return path;
}

// A device's unique ID: bus number and address, never 0.
uint32_t UniqueId(libusb_device* device) {
    return (uint32_t{libusb_get_bus_number(device)} << 8) | libusb_get_device_address(device);
}

class DeviceList {
public:
    explicit DeviceList(libusb_context* context) {
        const ssize_t count = libusb_get_device_list(context, &devices_);
        count_ = count > 0 ? static_cast<size_t>(count) : 0;
    }
    ~DeviceList() {
        if (devices_ != nullptr) {
            libusb_free_device_list(devices_, 1);
        }
    }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;
    libusb_device** begin() const { return devices_; }
    libusb_device** end() const { return devices_ + count_; }

private:
    libusb_device** devices_ = nullptr;
    size_t count_ = 0;
};

class LibusbBackend final : public Backend {
public:
    LibusbBackend() {
        if (libusb_init(&context_) != LIBUSB_SUCCESS) {
            context_ = nullptr;
        }
    }
    ~LibusbBackend() override {
        for (auto& [uniqueId, opened] : opened_) {
            if (opened.claimed) {
                libusb_release_interface(opened.handle, 0);
            }
            libusb_close(opened.handle);
        }
        if (context_ != nullptr) {
            libusb_exit(context_);
        }
    }
    LibusbBackend(const LibusbBackend&) = delete;
    LibusbBackend& operator=(const LibusbBackend&) = delete;

    DriverHandle OpenDriver() override;

    std::vector<PresentDevice> ListPresentDevices() override {
        std::vector<PresentDevice> present;
        if (context_ == nullptr) {
            return present;
        }
        for (libusb_device* device : DeviceList(context_)) {
            libusb_device_descriptor descriptor{};
            if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS) {
                continue;
            }
            char prefix[32];
            std::snprintf(prefix, sizeof prefix, "USB\\VID_%04X&PID_%04X\\", descriptor.idVendor,
                          descriptor.idProduct);
            present.push_back({prefix + PortPath(device), UsbDeviceClassGuid});
        }
        return present;
    }

    ScanResult ScanDevices(uint16_t vendorId, uint16_t productId) {
        std::lock_guard lock(mutex_);
        ScanResult result{Status::Success, {}};
        if (context_ == nullptr) {
            return result;
        }
        for (libusb_device* device : DeviceList(context_)) {
            libusb_device_descriptor descriptor{};
            if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS ||
                descriptor.idVendor != vendorId || descriptor.idProduct != productId) {
                continue;
            }
            const uint32_t uniqueId = UniqueId(device);
            if (opened_.count(uniqueId) == 0) {
                libusb_device_handle* handle = nullptr;
                if (libusb_open(device, &handle) != LIBUSB_SUCCESS) {
                    continue;   // no permission (udev rule missing) or gone
                }
                opened_[uniqueId] = {handle, false};
            }
            result.uniqueIds.push_back(uniqueId);
        }
        return result;
    }

    Status SelectInterface(uint32_t uniqueId, uint8_t interfaceNumber, uint8_t alternateSetting) {
        std::lock_guard lock(mutex_);
        Opened* opened = Find(uniqueId);
        if (opened == nullptr) {
            return Status::NoDevice;
        }
        if (!opened->claimed) {
            libusb_set_auto_detach_kernel_driver(opened->handle, 1);
            const int claimed = libusb_claim_interface(opened->handle, interfaceNumber);
            if (claimed != LIBUSB_SUCCESS) {
                return Outcome(uniqueId, claimed).status;
            }
            opened->claimed = true;
        }
        const int error = libusb_set_interface_alt_setting(opened->handle, interfaceNumber, alternateSetting);
        if (error == LIBUSB_ERROR_PIPE && alternateSetting == 0) {
            return Status::Success;   // a device with only the default setting may refuse the request
        }
        return Outcome(uniqueId, error).status;
    }

    TransferResult SubmitBulk(const BulkRequest& request) {
        return OnDevice(request.uniqueId, [&](libusb_device_handle* handle) {
            int moved = 0;
            const int error = libusb_bulk_transfer(handle, request.endpoint, request.buffer,
                                                   static_cast<int>(request.size), &moved, request.timeoutMs);
            return Outcome(request.uniqueId, error, static_cast<uint32_t>(std::max(moved, 0)));
        });
    }

    TransferResult SubmitControl(const ControlRequest& request) {
        return OnDevice(request.uniqueId, [&](libusb_device_handle* handle) {
            const auto& setup = request.setup;
            // The seam has cut the data stage to wLength, so it fits libusb's 16 bits.
            const int moved = libusb_control_transfer(
                handle, setup[0], setup[1], static_cast<uint16_t>(setup[2] | (setup[3] << 8)),
                static_cast<uint16_t>(setup[4] | (setup[5] << 8)), request.buffer,
                static_cast<uint16_t>(request.size), request.timeoutMs);
            return Outcome(request.uniqueId, moved < 0 ? moved : LIBUSB_SUCCESS,
                           static_cast<uint32_t>(std::max(moved, 0)));
        });
    }

    // libusb_clear_halt takes no time-out of ours.
    TransferResult SubmitClearHalt(uint32_t uniqueId, uint8_t endpoint, uint32_t /*timeoutMs*/) {
        return OnDevice(uniqueId, [&](libusb_device_handle* handle) {
            return Outcome(uniqueId, libusb_clear_halt(handle, endpoint));
        });
    }

private:
    struct Opened {
        libusb_device_handle* handle = nullptr;
        bool claimed = false;
    };

    Opened* Find(uint32_t uniqueId) {
        const auto found = opened_.find(uniqueId);
        return found == opened_.end() ? nullptr : &found->second;
    }

    // Runs a transfer on the device's handle, holding the lock; NoDevice when
    // no scan has opened it.
    template <class Transfer>
    TransferResult OnDevice(uint32_t uniqueId, Transfer transfer) {
        std::lock_guard lock(mutex_);
        Opened* opened = Find(uniqueId);
        if (opened == nullptr) {
            return {Status::NoDevice, 0, nullptr};
        }
        return transfer(opened->handle);
    }

    // The outcome of a libusb result; a device that is gone is closed, so
    // that the next scan opens it afresh when it comes back.
    TransferResult Outcome(uint32_t uniqueId, int error, uint32_t moved = 0) {
        if (error == LIBUSB_ERROR_NO_DEVICE) {
            if (Opened* opened = Find(uniqueId)) {
                libusb_close(opened->handle);
                opened_.erase(uniqueId);
            }
        }
        return {StatusOf(error), moved, error == LIBUSB_SUCCESS ? nullptr : libusb_error_name(error)};
    }

    std::mutex mutex_;
    libusb_context* context_ = nullptr;
    std::map<uint32_t, Opened> opened_;
};

DriverHandle LibusbBackend::OpenDriver() {
    if (context_ == nullptr) {
        return nullptr;   // libusb could not start: as a machine without the driver
    }
    return std::make_unique<ForwardingDriver<LibusbBackend>>(*this, LibusbDriverVersion, "libusb-1.0");
}

} // namespace

std::unique_ptr<Backend> MakeLibusbBackend() { return std::make_unique<LibusbBackend>(); }

} // namespace platform::usb

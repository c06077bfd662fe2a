// Players behind a USB/IP server: kvx512-sim, or a real player exported from
// another machine. One imported connection per process carries every transfer,
// so opening the driver costs nothing.
#include "platform/usb/forwarding_driver.h"
#include "platform/usb/usb_driver.h"
#include "platform/usb/usbip_address.h"
#include "platform/usb/usbip_session.h"

#include <mutex>

namespace platform::usb {

namespace {

constexpr uint32_t ControlTimeoutMs = 5000;
constexpr uint32_t ClientVersion = 1100;

// A bulk URB on the endpoint (direction in bit 7).
UrbRequest BulkUrb(uint8_t endpoint, uint8_t* buffer, uint32_t size, uint32_t timeoutMs) {
    return {.endpoint = endpoint & 0x0Fu, .in = (endpoint & 0x80) != 0, .buffer = buffer, .length = size,
            .timeoutMs = timeoutMs};
}

class UsbipBackend final : public Backend {
public:
    explicit UsbipBackend(UsbipAddress address) : address_(std::move(address)) {}

    DriverHandle OpenDriver() override;

    std::vector<PresentDevice> ListPresentDevices() override {
        std::vector<PresentDevice> present;
        const std::string chosen = Chosen();
        if (auto devices = QueryExportedDevices(address_)) {
            for (const auto& device : *devices) {
                if (Shows(device.busId, chosen)) {
                    present.push_back({UsbipInstanceId(device), UsbDeviceClassGuid});
                }
            }
        }
        return present;
    }

    std::vector<DeviceLocation> ListLocations() override {
        std::vector<DeviceLocation> locations;
        if (auto devices = QueryExportedDevices(address_)) {
            for (const auto& device : *devices) {
                if (Shows(device.busId, {})) {
                    // The unique ID is the devid its URBs would carry.
                    locations.push_back({device.busId, device.vendorId, device.productId, device.Devid()});
                }
            }
        }
        return locations;
    }

    // A device imported before is given up when it is not the one chosen.
    void OnChosen(const std::string& locationId) override {
        std::lock_guard lock(mutex_);
        if (session_ && !Shows(session_->Device().busId, locationId)) {
            session_.reset();
        }
    }

    ScanResult ScanDevices(uint16_t vendorId, uint16_t productId) {
        std::lock_guard lock(mutex_);
        if (session_) {
            session_->CheckConnection();
        }
        if (session_ && session_->Broken()) {
            session_.reset();
        }
        if (!session_) {
            Import(vendorId, productId);
        }
        ScanResult result{Status::Success, {}};
        if (session_ && session_->Device().vendorId == vendorId && session_->Device().productId == productId) {
            result.uniqueIds.push_back(session_->Devid());
        }
        return result;
    }

    Status SelectInterface(uint32_t uniqueId, uint8_t interfaceNumber, uint8_t alternateSetting) {
        return Submit(uniqueId, StandardRequest(standard::SetInterface(interfaceNumber, alternateSetting))).status;
    }

    TransferResult SubmitBulk(const BulkRequest& bulk) {
        return Submit(bulk.uniqueId, BulkUrb(bulk.endpoint, bulk.buffer, bulk.size, bulk.timeoutMs));
    }

    BulkQueueResult SubmitBulkQueue(const BulkQueueRequest& run) {
        const UrbRequest request = BulkUrb(run.endpoint, run.buffer, run.size, run.timeoutMs);
        std::lock_guard lock(mutex_);
        if (!session_ || session_->Devid() != run.uniqueId) {
            return {0, {Status::NoDevice, 0, "not imported"}};
        }
        const UrbRunResult result = session_->SubmitRun(request, run.count, run.bytesMoved);
        return {result.completed, result.last};
    }

    TransferResult SubmitControl(const ControlRequest& control) {
        const UrbRequest request{.in = SetupIsIn(control.setup),
                                 .setup = control.setup,
                                 .buffer = control.buffer,
                                 .length = control.size,
                                 .timeoutMs = control.timeoutMs};
        return Submit(control.uniqueId, request);
    }

    TransferResult SubmitClearHalt(uint32_t uniqueId, uint8_t endpoint, uint32_t timeoutMs) {
        return Submit(uniqueId, {.setup = standard::ClearEndpointHalt(endpoint), .timeoutMs = timeoutMs});
    }

private:
    // The URL's bus ID, like the chosen one, keeps every other export out of sight.
    bool Shows(const std::string& busId, const std::string& chosen) const {
        return (address_.busId.empty() || busId == address_.busId) && (chosen.empty() || busId == chosen);
    }


    void Import(uint16_t vendorId, uint16_t productId) {
        const std::string chosen = Chosen();
        const auto devices = QueryExportedDevices(address_);
        if (!devices) {
            return;
        }
        for (const auto& device : *devices) {
            if (device.vendorId != vendorId || device.productId != productId || !Shows(device.busId, chosen)) {
                continue;
            }
            session_ = UsbipSession::Import(address_, device.busId);
            if (session_) {
                // What a host does after enumeration; a device exported from a
                // real machine is configured already and just agrees.
                session_->Submit(StandardRequest(standard::SetConfiguration(1)));
            }
            return;
        }
    }

    // A standard request without data stage, with the time-out the backend
    // gives requests of its own.
    static UrbRequest StandardRequest(const SetupPacket& setup) {
        return {.setup = setup, .timeoutMs = ControlTimeoutMs};
    }

    TransferResult Submit(uint32_t uniqueId, const UrbRequest& request) {
        std::lock_guard lock(mutex_);
        if (!session_ || session_->Devid() != uniqueId) {
            return {Status::NoDevice, 0, "not imported"};
        }
        return session_->Submit(request);
    }

    std::mutex mutex_;
    const UsbipAddress address_;
    // The bus ID the process was narrowed to (empty for all), with a lock of
    // its own: the device list must not wait for a transfer.
    std::optional<UsbipSession> session_;
    ForwardingDriver<UsbipBackend> driver_{*this, ClientVersion, "KVX512 USB/IP client"};
};

DriverHandle UsbipBackend::OpenDriver() { return SharedDriverHandle(driver_); }

} // namespace

std::unique_ptr<Backend> MakeUsbipBackend(std::string_view url) {
    auto address = ParseUsbipAddress(url);
    if (!address) {
        return nullptr;
    }
    return std::make_unique<UsbipBackend>(std::move(*address));
}

} // namespace platform::usb

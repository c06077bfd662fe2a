// The simulated player inside this process, reached through its bus.
#include "platform/usb/usb_driver.h"
#include "sim/bus.h"

#include <mutex>
#include <string>

namespace platform::usb {

namespace {

// "sim-1" for the first player on the bus: its place, which stays while
// players come and go.
std::string LocationId(uint32_t uniqueId) { return "sim-" + std::to_string(uniqueId - kvx512sim::FirstUniqueId + 1); }

// The location the backend was narrowed to; empty for all.
class Choice {
public:
    void Set(const std::string& locationId) {
        std::lock_guard lock(mutex_);
        chosen_ = locationId;
    }
    std::string Get() const {
        std::lock_guard lock(mutex_);
        return chosen_;
    }
    bool Shows(uint32_t uniqueId) const {
        std::lock_guard lock(mutex_);
        return chosen_.empty() || chosen_ == LocationId(uniqueId);
    }

private:
    mutable std::mutex mutex_;
    std::string chosen_;
};

Status ToStatus(kvx512sim::UsbStatus status) {
    switch (status) {
    case kvx512sim::UsbStatus::Success: return Status::Success;
    case kvx512sim::UsbStatus::TimeOut: return Status::TimeOut;
    case kvx512sim::UsbStatus::NotAttached: return Status::NoDevice;
    case kvx512sim::UsbStatus::Stall: return Status::Stall;
    case kvx512sim::UsbStatus::Failed:
    case kvx512sim::UsbStatus::WouldBlock: break;
    }
    return Status::Failed;
}

// The simulator's own name of a failure, for the trace.
const char* SimStatusName(kvx512sim::UsbStatus status) {
    switch (status) {
    case kvx512sim::UsbStatus::Success: return nullptr;
    case kvx512sim::UsbStatus::Failed: return "Failed";
    case kvx512sim::UsbStatus::TimeOut: return "TimeOut";
    case kvx512sim::UsbStatus::NotAttached: return "NotAttached";
    case kvx512sim::UsbStatus::Stall: return "Stall";
    case kvx512sim::UsbStatus::WouldBlock: return "WouldBlock";
    }
    return "unknown";
}

// The three kinds of transfer are one request type of the simulated bus,
// told apart by pipe and options as its transcript records them.
TransferResult Submit(uint32_t uniqueId, const kvx512sim::UsbRequest& request) {
    const auto response = kvx512sim::Bus::Instance().Transfer(uniqueId, request);
    return {ToStatus(response.status), response.actual, SimStatusName(response.status)};
}

class SimDriver final : public Driver {
public:
    explicit SimDriver(const Choice& choice) : choice_(choice) {}

private:
    DriverVersion QueryVersion() override {
        DriverVersion version;
        uint32_t number = 0;
        if (kvx512sim::Bus::Instance().DriverVersion(number)) {
            version.status = Status::Success;
            version.number = number;
            version.text = "KVX512 simulated bus";
        }
        return version;
    }

    ScanResult ScanDevices(uint16_t vendorId, uint16_t productId) override {
        ScanResult result{Status::Success, kvx512sim::Bus::Instance().Scan(vendorId, productId)};
        std::erase_if(result.uniqueIds, [this](uint32_t uniqueId) { return !choice_.Shows(uniqueId); });
        return result;
    }

    Status SelectInterface(uint32_t uniqueId, uint8_t interfaceNumber, uint8_t alternateSetting) override {
        return ToStatus(kvx512sim::Bus::Instance().SetInterface(uniqueId, interfaceNumber, alternateSetting));
    }

    TransferResult SubmitBulk(const BulkRequest& request) override {
        return Submit(request.uniqueId, {.pipe = request.endpoint,
                                         .in = (request.endpoint & 0x80) != 0,
                                         .timeoutMs = request.timeoutMs,
                                         .data = request.buffer,
                                         .length = request.size});
    }

    TransferResult SubmitControl(const ControlRequest& request) override {
        return Submit(request.uniqueId, {.pipe = kvx512sim::PipeControl,
                                         .in = SetupIsIn(request.setup),
                                         .setup = request.setup,
                                         .timeoutMs = request.timeoutMs,
                                         .data = request.buffer,
                                         .length = request.size});
    }

    // The simulated bus halts a pipe as a request of its own (options 1).
    TransferResult SubmitClearHalt(uint32_t uniqueId, uint8_t endpoint, uint32_t timeoutMs) override {
        return Submit(uniqueId, {.pipe = endpoint, .options = 1, .timeoutMs = timeoutMs});
    }

    const Choice& choice_;
};

class SimBackend final : public Backend {
public:
    // The driver keeps nothing of its own, so every handle shares one.
    DriverHandle OpenDriver() override {
        if (!kvx512sim::Bus::Instance().OpenDriver()) {
            return nullptr;
        }
        return SharedDriverHandle(driver_);
    }

    std::vector<PresentDevice> ListPresentDevices() override {
        const auto listed = kvx512sim::Bus::Instance().PresentDevices();
        const std::string chosen = choice_.Get();
        std::vector<PresentDevice> devices;
        if (chosen.empty()) {
            for (const auto& device : listed) {
                devices.push_back({device.instanceId, device.classGuid});
            }
            return devices;
        }
        // The bus lists its attached players first, in their order on it.
        const auto locations = ListLocations();
        for (size_t i = 0; i < locations.size() && i < listed.size(); ++i) {
            if (locations[i].id == chosen) {
                devices.push_back({listed[i].instanceId, listed[i].classGuid});
            }
        }
        return devices;
    }

    std::vector<DeviceLocation> ListLocations() override {
        auto& bus = kvx512sim::Bus::Instance();
        std::vector<DeviceLocation> locations;
        for (size_t index = 0;; ++index) {
            const auto player = bus.SharedPlayer(index);
            if (player == nullptr) {
                break;
            }
            if (player->Attached()) {
                const uint32_t uniqueId = kvx512sim::FirstUniqueId + static_cast<uint32_t>(index);
                locations.push_back({LocationId(uniqueId), kvx512sim::VendorId, player->ProductId(), uniqueId});
            }
        }
        return locations;
    }

    void Choose(const std::string& locationId) override { choice_.Set(locationId); }

private:
    Choice choice_;
    SimDriver driver_{choice_};
};

} // namespace

std::unique_ptr<Backend> MakeSimBackend() { return std::make_unique<SimBackend>(); }

} // namespace platform::usb

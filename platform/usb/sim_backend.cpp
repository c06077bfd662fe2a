// The simulated player inside this process, reached through its bus.
#include "platform/usb/transport_error.h"
#include "platform/usb/usb_driver.h"
#include "sim/bus.h"

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

namespace platform::usb {

namespace {

// "sim-1" for the first player on the bus: its place, which stays while
// players come and go.
std::string LocationId(uint32_t uniqueId) { return "sim-" + std::to_string(uniqueId - kvx512sim::FirstUniqueId + 1); }

// Whether a choice of location (empty: none) shows the player.
bool Shows(const std::string& chosen, uint32_t uniqueId) { return chosen.empty() || chosen == LocationId(uniqueId); }

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
    explicit SimDriver(const Backend& backend) : backend_(backend) {}

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
        const std::string chosen = backend_.Chosen();
        std::erase_if(result.uniqueIds, [&chosen](uint32_t uniqueId) { return !Shows(chosen, uniqueId); });
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

    const Backend& backend_;
};

// KVX512_SIM_STATE=FILE keeps the player's storage from one process to the
// next, in the file kvx512-sim --state-file keeps: loaded when the backend
// is made, saved when the process ends. A file that is no such state leaves
// the player detached, so that nothing overwrites it.
class SimState {
public:
    SimState() {
        const char* file = std::getenv("KVX512_SIM_STATE");
        player_ = kvx512sim::Bus::Instance().SharedPlayer(0);
        if (file == nullptr || *file == '\0' || player_ == nullptr) {
            return;
        }
        path_ = file;
        if (std::ifstream(path_).good() && !player_->LoadState(path_)) {
            SetTransportError("KVX512_SIM_STATE=" + path_ + " is no state file of the simulated player.");
            player_->Detach();
            path_.clear();
        }
    }
    ~SimState() {
        if (!path_.empty()) {
            player_->SaveState(path_);
        }
    }
    SimState(const SimState&) = delete;
    SimState& operator=(const SimState&) = delete;

private:
    std::shared_ptr<kvx512sim::Player> player_;
    std::string path_;
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
        const std::string chosen = Chosen();
        std::vector<PresentDevice> devices;
        for (const auto& device : kvx512sim::Bus::Instance().PresentDevices()) {
            if (chosen.empty() || (device.uniqueId != 0 && Shows(chosen, device.uniqueId))) {
                devices.push_back({device.instanceId, device.classGuid});
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

private:
    SimState state_;
    SimDriver driver_{*this};
};

} // namespace

} // namespace platform::usb

// What MakeSimBackend looks up in this module.
extern "C" __attribute__((visibility("default"))) platform::usb::Backend* qrm284_make_sim_backend() {
    return new platform::usb::SimBackend();
}

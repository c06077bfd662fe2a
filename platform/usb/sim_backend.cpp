// The simulated player inside this process, reached through its bus.
#include "platform/usb/usb_driver.h"
#include "sim/bus.h"

namespace platform::usb {

namespace {

uint32_t ToStatus(kvx512sim::UsbStatus status) {
    switch (status) {
    case kvx512sim::UsbStatus::Success: return StatusSuccess;
    case kvx512sim::UsbStatus::TimeOut: return StatusTimeOut;
    case kvx512sim::UsbStatus::NotAttached: return StatusNoDevice;
    case kvx512sim::UsbStatus::Stall: return StatusStall;
    case kvx512sim::UsbStatus::Failed:
    case kvx512sim::UsbStatus::WouldBlock: break;
    }
    return StatusFailed;
}

class SimDriver final : public Driver {
public:
    DriverVersion Version() override {
        DriverVersion version;
        uint32_t number = 0;
        if (kvx512sim::Bus::Instance().DriverVersion(number)) {
            version.status = StatusSuccess;
            version.number = number;
            version.text = "KVX512 simulated bus";
        }
        return version;
    }

    ScanResult Scan(uint16_t vendorId, uint16_t productId) override {
        return {StatusSuccess, kvx512sim::Bus::Instance().Scan(vendorId, productId)};
    }

    uint32_t SetInterface(uint32_t uniqueId, uint32_t interfaceNumber, uint32_t alternateSetting,
                          uint32_t /*options*/) override {
        return ToStatus(kvx512sim::Bus::Instance().SetInterface(uniqueId, interfaceNumber, alternateSetting));
    }

    TransferResult Transfer(const TransferRequest& request) override {
        kvx512sim::UsbRequest usb;
        usb.pipe = request.pipe;
        usb.in = request.read;
        usb.options = request.options;
        usb.setup = request.setup;
        usb.timeoutMs = request.timeoutMs;
        usb.data = request.buffer;
        usb.length = request.size;
        const auto response = kvx512sim::Bus::Instance().Transfer(request.uniqueId, usb);
        return {ToStatus(response.status), response.actual};
    }
};

class SimBackend final : public Backend {
public:
    DriverHandle OpenDriver() override {
        if (!kvx512sim::Bus::Instance().OpenDriver()) {
            return nullptr;
        }
        return std::make_unique<SimDriver>();
    }

    std::vector<PresentDevice> ListPresentDevices() override {
        std::vector<PresentDevice> devices;
        for (const auto& device : kvx512sim::Bus::Instance().PresentDevices()) {
            devices.push_back({device.instanceId, device.classGuid});
        }
        return devices;
    }
};

} // namespace

std::unique_ptr<Backend> MakeSimBackend() { return std::make_unique<SimBackend>(); }

} // namespace platform::usb

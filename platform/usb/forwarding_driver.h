// A driver handle of a backend that keeps one connection for the whole
// process: opening it costs nothing, every request goes to the backend.
#pragma once

#include "platform/usb/usb_driver.h"

#include <string>
#include <utility>

namespace platform::usb {

template <class SharedBackend>
class ForwardingDriver final : public Driver {
public:
    ForwardingDriver(SharedBackend& backend, uint32_t versionNumber, std::string versionText)
        : backend_(backend), version_{StatusSuccess, versionNumber, std::move(versionText)} {}

    DriverVersion Version() override { return version_; }
    ScanResult Scan(uint16_t vendorId, uint16_t productId) override { return backend_.Scan(vendorId, productId); }
    uint32_t SetInterface(uint32_t uniqueId, uint32_t interfaceNumber, uint32_t alternateSetting,
                          uint32_t /*options*/) override {
        return backend_.SetInterface(uniqueId, interfaceNumber, alternateSetting);
    }
    TransferResult Transfer(const TransferRequest& request) override { return backend_.Transfer(request); }

private:
    SharedBackend& backend_;
    DriverVersion version_;
};

} // namespace platform::usb

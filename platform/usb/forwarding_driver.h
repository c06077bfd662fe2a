// The driver of a backend that keeps one connection for the whole process:
// the backend holds one and hands out shared handles on it, so opening the
// driver costs nothing; every request goes to the backend.
#pragma once

#include "platform/usb/usb_driver.h"

#include <string>
#include <utility>

namespace platform::usb {

template <class SharedBackend>
class ForwardingDriver final : public Driver {
public:
    ForwardingDriver(SharedBackend& backend, uint32_t versionNumber, std::string versionText)
        : backend_(backend), version_{Status::Success, versionNumber, std::move(versionText)} {}

private:
    DriverVersion QueryVersion() override { return version_; }
    ScanResult ScanDevices(uint16_t vendorId, uint16_t productId) override {
        return backend_.ScanDevices(vendorId, productId);
    }
    Status SelectInterface(uint32_t uniqueId, uint8_t interfaceNumber, uint8_t alternateSetting) override {
        return backend_.SelectInterface(uniqueId, interfaceNumber, alternateSetting);
    }
    TransferResult SubmitBulk(const BulkRequest& request) override { return backend_.SubmitBulk(request); }
    BulkQueueResult SubmitBulkQueue(const BulkQueueRequest& request) override {
        return backend_.SubmitBulkQueue(request);
    }
    TransferResult SubmitControl(const ControlRequest& request) override { return backend_.SubmitControl(request); }
    TransferResult SubmitClearHalt(uint32_t uniqueId, uint8_t endpoint, uint32_t timeoutMs) override {
        return backend_.SubmitClearHalt(uniqueId, endpoint, timeoutMs);
    }

    SharedBackend& backend_;
    DriverVersion version_;
};

} // namespace platform::usb

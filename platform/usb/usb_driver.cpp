// The seam's public members: each request is normalised here once, for every
// backend, traced when KVX512_DEBUG=1, and handed to the backend.
#include "platform/usb/usb_driver.h"

#include "platform/usb/usb_trace.h"

#include <algorithm>

namespace platform::usb {

const char* StatusName(Status status) {
    switch (status) {
    case Status::Success: return "Success";
    case Status::Failed: return "Failed";
    case Status::TimeOut: return "TimeOut";
    case Status::NoDevice: return "NoDevice";
    case Status::Stall: return "Stall";
    }
    return "Failed";
}

DriverVersion Driver::Version() {
    DriverVersion version = QueryVersion();
    if (trace::On()) [[unlikely]] {
        trace::Version(version);
    }
    return version;
}

ScanResult Driver::Scan(uint16_t vendorId, uint16_t productId) {
    ScanResult result = ScanDevices(vendorId, productId);
    if (trace::On()) [[unlikely]] {
        trace::Scan(vendorId, productId, result);
    }
    return result;
}

Status Driver::SetInterface(uint32_t uniqueId, uint8_t interfaceNumber, uint8_t alternateSetting) {
    const Status status = SelectInterface(uniqueId, interfaceNumber, alternateSetting);
    if (trace::On()) [[unlikely]] {
        trace::SetInterface(uniqueId, interfaceNumber, alternateSetting, status);
    }
    return status;
}

// The line is written once the request is done, since it carries the outcome.
// A backend's count never exceeds what it was given.
TransferResult Driver::BulkTransfer(const BulkRequest& request) {
    BulkRequest checked = request;
    if (checked.buffer == nullptr) {
        checked.size = 0;
    }
    TransferResult result = SubmitBulk(checked);
    result.bytesMoved = std::min(result.bytesMoved, checked.size);
    if (trace::On()) [[unlikely]] {
        trace::Bulk(checked, result);
    }
    return result;
}

TransferResult Driver::ControlTransfer(const ControlRequest& request) {
    ControlRequest checked = request;
    checked.size = checked.buffer != nullptr ? std::min<uint32_t>(SetupLength(checked.setup), checked.size) : 0;
    TransferResult result = SubmitControl(checked);
    result.bytesMoved = std::min(result.bytesMoved, checked.size);
    if (trace::On()) [[unlikely]] {
        trace::Control(checked, result);
    }
    return result;
}

Status Driver::ClearHalt(uint32_t uniqueId, uint8_t endpoint, uint32_t timeoutMs) {
    const TransferResult result = SubmitClearHalt(uniqueId, endpoint, timeoutMs);
    if (trace::On()) [[unlikely]] {
        trace::ClearHalt(uniqueId, endpoint, timeoutMs, result);
    }
    return result.status;
}

} // namespace platform::usb

// The seam's public members: each request is normalised here once, for every
// backend, traced when KVX512_DEBUG=1, and handed to the backend.
#include "platform/usb/usb_driver.h"

#include "platform/usb/usb_trace.h"

#include <algorithm>
#include <vector>

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

BulkQueueResult Driver::BulkTransferQueue(const BulkQueueRequest& request) {
    BulkQueueRequest checked = request;
    if (checked.buffer == nullptr) {
        checked.size = 0;
    }
    if (checked.count == 0) {
        return {0, {Status::Success, 0, nullptr}};
    }
    // The trace reports every transfer's count; only then is a place kept for
    // them when the caller keeps none.
    std::vector<uint32_t> tracedCounts;
    if (checked.bytesMoved == nullptr && trace::On()) [[unlikely]] {
        tracedCounts.resize(checked.count);
        checked.bytesMoved = tracedCounts.data();
    }
    BulkQueueResult result = SubmitBulkQueue(checked);
    result.completed = std::min(result.completed, checked.count);
    result.last.bytesMoved = std::min(result.last.bytesMoved, checked.size);
    if (checked.bytesMoved != nullptr) {
        for (uint32_t i = 0; i < result.completed; ++i) {
            checked.bytesMoved[i] = std::min(checked.bytesMoved[i], checked.size);
        }
    }
    if (trace::On()) [[unlikely]] {
        trace::BulkQueue(checked, result);
    }
    return result;
}

BulkQueueResult Driver::SubmitBulkQueue(const BulkQueueRequest& request) {
    BulkQueueResult result{0, {Status::Success, 0, nullptr}};
    BulkRequest single{request.uniqueId, request.endpoint, request.buffer, request.size, request.timeoutMs};
    for (; result.completed < request.count; ++result.completed) {
        result.last = SubmitBulk(single);
        if (result.last.status != Status::Success) {
            break;
        }
        if (request.bytesMoved != nullptr) {
            request.bytesMoved[result.completed] = result.last.bytesMoved;
        }
        if (single.buffer != nullptr) {
            single.buffer += request.size;
        }
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

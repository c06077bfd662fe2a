#include "platform/usb/usb_trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform::usb::trace {

namespace {

// Each line is one fprintf, so that lines of several threads do not mix.
void Transfer(const char* request, const TransferResult& result) {
    if (result.backendError != nullptr) {
        std::fprintf(stderr, "kvx512: %s: %s, %u moved (%s)\n", request, StatusName(result.status),
                     result.bytesMoved, result.backendError);
    } else {
        std::fprintf(stderr, "kvx512: %s: %s, %u moved\n", request, StatusName(result.status), result.bytesMoved);
    }
}

} // namespace

void ReadSwitch() { platform::ReadDebugSwitch(); }

void Version(const DriverVersion& version) {
    std::fprintf(stderr, "kvx512: Version: %s, %u \"%s\"\n", StatusName(version.status), version.number,
                 version.text.c_str());
}

void Scan(uint16_t vendorId, uint16_t productId, const ScanResult& result) {
    char ids[64] = "";
    size_t used = 0;
    for (size_t i = 0; i < result.uniqueIds.size() && i < 4; ++i) {
        used += static_cast<size_t>(
            std::snprintf(ids + used, sizeof ids - used, " 0x%x", result.uniqueIds[i]));
    }
    std::fprintf(stderr, "kvx512: Scan %04x:%04x: %s, %zu found%s\n", vendorId, productId, StatusName(result.status),
                 result.uniqueIds.size(), ids);
}

void SetInterface(uint32_t uniqueId, uint8_t interfaceNumber, uint8_t alternateSetting, Status status) {
    std::fprintf(stderr, "kvx512: SetInterface id 0x%x interface %u alternate %u: %s\n", uniqueId, interfaceNumber,
                 alternateSetting, StatusName(status));
}

void Bulk(const BulkRequest& request, const TransferResult& result) {
    char text[96];
    std::snprintf(text, sizeof text, "BulkTransfer id 0x%x endpoint 0x%02x length %u timeout %u", request.uniqueId,
                  request.endpoint, request.size, request.timeoutMs);
    Transfer(text, result);
}

void BulkQueue(const BulkQueueRequest& request, const BulkQueueResult& result) {
    char text[128];
    const uint32_t carriedOut = result.completed < request.count ? result.completed + 1 : result.completed;
    for (uint32_t i = 0; i < carriedOut; ++i) {
        std::snprintf(text, sizeof text, "BulkTransfer id 0x%x endpoint 0x%02x length %u timeout %u, queued %u of %u",
                      request.uniqueId, request.endpoint, request.size, request.timeoutMs, i + 1, request.count);
        const bool failed = i == result.completed;
        const uint32_t moved = request.bytesMoved != nullptr ? request.bytesMoved[i] : request.size;
        Transfer(text, failed ? result.last : TransferResult{Status::Success, moved, nullptr});
    }
}

void Control(const ControlRequest& request, const TransferResult& result) {
    const auto& s = request.setup;
    char text[128];
    std::snprintf(text, sizeof text,
                  "ControlTransfer id 0x%x setup %02x %02x %02x %02x %02x %02x %02x %02x length %u timeout %u",
                  request.uniqueId, s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], request.size, request.timeoutMs);
    Transfer(text, result);
}

void ClearHalt(uint32_t uniqueId, uint8_t endpoint, uint32_t timeoutMs, const TransferResult& result) {
    char text[96];
    std::snprintf(text, sizeof text, "ClearHalt id 0x%x endpoint 0x%02x timeout %u", uniqueId, endpoint, timeoutMs);
    Transfer(text, result);
}

void DeviceList(size_t entries) { std::fprintf(stderr, "kvx512: ListPresentDevices: %zu listed\n", entries); }

void OpenFailed(const char* backendChoice) {
    std::fprintf(stderr, "kvx512: OpenDriver: no driver (KVX512_USB=%s)\n", backendChoice);
}

} // namespace platform::usb::trace

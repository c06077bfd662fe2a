// The seam's trace: with KVX512_DEBUG=1 every request at the seam is one
// line on stderr, as LIBUSB_DEBUG does for libusb. The switch is read once;
// while it is off a request costs one load and one branch, nothing more.
#pragma once

#include "platform/system/debug_output.h"
#include "platform/usb/usb_driver.h"

#include <cstddef>
#include <cstdint>

namespace platform::usb::trace {

// Whether requests are traced: KVX512_DEBUG=1, the switch of the debug output.
inline bool On() { return platform::DebugOutputOn(); }

// Reads KVX512_DEBUG again; for tests, the seam itself reads it once.
void ReadSwitch();

// One line each; called only while On(). Requests as the backend got them.
void Version(const DriverVersion& version);
void Scan(uint16_t vendorId, uint16_t productId, const ScanResult& result);
void SetInterface(uint32_t uniqueId, uint8_t interfaceNumber, uint8_t alternateSetting, Status status);
void Bulk(const BulkRequest& request, const TransferResult& result);
// One line for each transfer of the run that was carried out: those that
// succeeded (with their counts, when the request carries them) and the one that failed.
void BulkQueue(const BulkQueueRequest& request, const BulkQueueResult& result);
void Control(const ControlRequest& request, const TransferResult& result);
void ClearHalt(uint32_t uniqueId, uint8_t endpoint, uint32_t timeoutMs, const TransferResult& result);
void DeviceList(size_t entries);
void OpenFailed(const char* backendChoice);

} // namespace platform::usb::trace

// Recordings of the USB traffic at the seam, as JSON lines: KVX512_RECORD=FILE
// wraps whichever backend was chosen and writes one line per request with
// its data and outcome; KVX512_USB=replay:FILE answers from such a file.
// A line holds the request ("op" and its fields), the outcome ("status",
// "moved", "in") and "t", milliseconds since the recording began. Bytes are
// lower-case hex. Nothing but the traffic goes in: no paths, no names.
#pragma once

#include "platform/usb/usb_driver.h"

#include <nlohmann/json.hpp>

#include <string>

namespace platform::usb::recording {

// A request's own fields, as both sides compare them.
nlohmann::json VersionRequest();
nlohmann::json ScanRequest(uint16_t vendorId, uint16_t productId);
nlohmann::json SetInterfaceRequest(uint32_t uniqueId, uint8_t interfaceNumber, uint8_t alternateSetting);
nlohmann::json BulkRequestJson(const BulkRequest& request);
nlohmann::json QueueRequestJson(const BulkQueueRequest& request);
nlohmann::json ControlRequestJson(const ControlRequest& request);
nlohmann::json ClearHaltRequest(uint32_t uniqueId, uint8_t endpoint, uint32_t timeoutMs);
nlohmann::json DevicesRequest();
nlohmann::json LocationsRequest();

std::string Hex(const uint8_t* bytes, size_t size);
// False when the text is no even run of hex digits.
bool FromHex(const std::string& text, std::string& bytes);

// "Success", ... back to the status; Failed for anything else.
Status StatusNamed(const std::string& name);

} // namespace platform::usb::recording

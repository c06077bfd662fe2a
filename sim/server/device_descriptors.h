// The standard USB descriptors of the simulated player: one configuration,
// interface 0 (vendor-specific) with bulk endpoints 0x02 OUT, 0x83 IN, 0x82 IN.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace kvx512sim::server {

inline constexpr uint8_t DescriptorDevice = 1;
inline constexpr uint8_t DescriptorConfiguration = 2;
inline constexpr uint8_t DescriptorString = 3;
inline constexpr uint8_t VendorSpecificClass = 0xFF;
inline constexpr uint16_t DeviceRelease = 0x0100;
inline constexpr uint16_t BulkPacketSize = 512;

std::vector<uint8_t> DeviceDescriptor(uint16_t vendorId, uint16_t productId);
std::vector<uint8_t> ConfigurationDescriptor();
// String 0 is the language list; 1 maker, 2 product, 3 serial number.
std::optional<std::vector<uint8_t>> StringDescriptor(uint8_t index);

} // namespace kvx512sim::server

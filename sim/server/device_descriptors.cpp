#include "sim/server/device_descriptors.h"

#include <string_view>

namespace kvx512sim::server {

namespace {

uint8_t Low(uint16_t value) { return static_cast<uint8_t>(value & 0xFF); }
uint8_t High(uint16_t value) { return static_cast<uint8_t>(value >> 8); }

constexpr std::string_view Strings[] = {"KVX512 simulation", "KVX512 simulated player", "KVX512SIM0001"};

std::vector<uint8_t> BulkEndpoint(uint8_t address) {
    return {7, 5, address, 0x02, Low(BulkPacketSize), High(BulkPacketSize), 0};
}

} // namespace

std::vector<uint8_t> DeviceDescriptor(uint16_t vendorId, uint16_t productId) {
    return {18,   DescriptorDevice,
            0x00, 0x02,                         // USB 2.0
            VendorSpecificClass, 0x00, 0x00,
            64,                                 // control packets
            Low(vendorId), High(vendorId),
            Low(productId), High(productId),
            Low(DeviceRelease), High(DeviceRelease),
            1, 2, 3,                            // string indexes
            1};                                 // configurations
}

std::vector<uint8_t> ConfigurationDescriptor() {
    std::vector<uint8_t> bytes{9, DescriptorConfiguration, 0, 0, 1, 1, 0, 0x80, 250};
    const std::vector<uint8_t> interface{9, 4, 0, 0, 3, VendorSpecificClass, 0x00, 0x00, 0};
    bytes.insert(bytes.end(), interface.begin(), interface.end());
    for (uint8_t address : {uint8_t{0x02}, uint8_t{0x83}, uint8_t{0x82}}) {
        const auto endpoint = BulkEndpoint(address);
        bytes.insert(bytes.end(), endpoint.begin(), endpoint.end());
    }
    const auto total = static_cast<uint16_t>(bytes.size());
    bytes[2] = Low(total);
    bytes[3] = High(total);
    return bytes;
}

std::optional<std::vector<uint8_t>> StringDescriptor(uint8_t index) {
    if (index == 0) {
        return std::vector<uint8_t>{4, DescriptorString, 0x09, 0x04};   // English (US)
    }
    if (index > std::size(Strings)) {
        return std::nullopt;
    }
    const std::string_view text = Strings[index - 1];
    std::vector<uint8_t> bytes{static_cast<uint8_t>(2 + 2 * text.size()), DescriptorString};
    for (char c : text) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(0);
    }
    return bytes;
}

} // namespace kvx512sim::server

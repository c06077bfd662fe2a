#include "sim/server/usbip_wire.h"

#include <algorithm>

namespace kvx512sim::server {

uint16_t Load16(const uint8_t* bytes) { return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]); }

uint32_t Load32(const uint8_t* bytes) {
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
}

void Store16(uint8_t* bytes, uint16_t value) {
    bytes[0] = static_cast<uint8_t>(value >> 8);
    bytes[1] = static_cast<uint8_t>(value);
}

void Store32(uint8_t* bytes, uint32_t value) {
    bytes[0] = static_cast<uint8_t>(value >> 24);
    bytes[1] = static_cast<uint8_t>(value >> 16);
    bytes[2] = static_cast<uint8_t>(value >> 8);
    bytes[3] = static_cast<uint8_t>(value);
}

UrbCommand ReadUrbCommand(const uint8_t* header) {
    UrbCommand command;
    command.command = Load32(header + 0);
    command.seqnum = Load32(header + 4);
    command.devid = Load32(header + 8);
    command.direction = Load32(header + 12);
    command.endpoint = Load32(header + 16);
    if (command.command == CmdSubmit) {
        command.transferFlags = Load32(header + 20);
        command.bufferLength = Load32(header + 24);
        command.packetCount = Load32(header + 32);
        std::copy_n(header + 40, 8, command.setup.begin());
    } else if (command.command == CmdUnlink) {
        command.unlinkSeqnum = Load32(header + 20);
    }
    return command;
}

std::vector<uint8_t> OpHeader(uint16_t code, uint32_t status) {
    std::vector<uint8_t> bytes(OpHeaderSize, 0);
    Store16(&bytes[0], UsbipVersion);
    Store16(&bytes[2], code);
    Store32(&bytes[4], status);
    return bytes;
}

std::vector<uint8_t> DeviceRecord(const ExportedDevice& device, bool withInterfaces) {
    std::vector<uint8_t> bytes(DeviceRecordSize, 0);
    // Both texts are NUL-terminated inside their fields.
    std::copy_n(device.path.begin(), std::min(device.path.size(), PathSize - 1), bytes.begin());
    std::copy_n(device.busId.begin(), std::min(device.busId.size(), BusIdSize - 1), bytes.begin() + 256);
    Store32(&bytes[288], device.busNumber);
    Store32(&bytes[292], device.deviceNumber);
    Store32(&bytes[296], device.speed);
    Store16(&bytes[300], device.vendorId);
    Store16(&bytes[302], device.productId);
    Store16(&bytes[304], device.bcdDevice);
    bytes[306] = device.deviceClass;
    bytes[307] = device.deviceSubClass;
    bytes[308] = device.deviceProtocol;
    bytes[309] = device.configurationValue;
    bytes[310] = device.configurationCount;
    bytes[311] = static_cast<uint8_t>(device.interfaces.size());
    if (withInterfaces) {
        for (const auto& interface : device.interfaces) {
            bytes.push_back(interface.interfaceClass);
            bytes.push_back(interface.interfaceSubClass);
            bytes.push_back(interface.interfaceProtocol);
            bytes.push_back(0);
        }
    }
    return bytes;
}

void FillRetSubmitHeader(uint8_t* header, uint32_t seqnum, int32_t status, uint32_t actualLength) {
    std::fill_n(header, UrbHeaderSize, uint8_t{0});
    Store32(&header[0], RetSubmit);
    Store32(&header[4], seqnum);
    // devid, direction and endpoint stay 0 in replies.
    Store32(&header[20], static_cast<uint32_t>(status));
    Store32(&header[24], actualLength);
}

std::vector<uint8_t> RetSubmitRecord(uint32_t seqnum, int32_t status, const std::vector<uint8_t>& inData,
                                     uint32_t actualLength) {
    std::vector<uint8_t> bytes(UrbHeaderSize + inData.size(), 0);
    FillRetSubmitHeader(bytes.data(), seqnum, status, actualLength);
    std::copy(inData.begin(), inData.end(), bytes.begin() + UrbHeaderSize);
    return bytes;
}

std::vector<uint8_t> RetUnlinkRecord(uint32_t seqnum, int32_t status) {
    std::vector<uint8_t> bytes(UrbHeaderSize, 0);
    Store32(&bytes[0], RetUnlink);
    Store32(&bytes[4], seqnum);
    Store32(&bytes[20], static_cast<uint32_t>(status));
    return bytes;
}

} // namespace kvx512sim::server

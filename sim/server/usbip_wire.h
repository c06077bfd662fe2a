// The USB/IP records as the server reads and writes them: fixed offsets,
// every multi-byte field big-endian. The server keeps its own reading of the
// wire, independent of any host-side client.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kvx512sim::server {

inline constexpr uint16_t UsbipVersion = 0x0111;
inline constexpr uint16_t OpReqDevlist = 0x8005;
inline constexpr uint16_t OpRepDevlist = 0x0005;
inline constexpr uint16_t OpReqImport = 0x8003;
inline constexpr uint16_t OpRepImport = 0x0003;

inline constexpr uint32_t CmdSubmit = 1;
inline constexpr uint32_t CmdUnlink = 2;
inline constexpr uint32_t RetSubmit = 3;
inline constexpr uint32_t RetUnlink = 4;
inline constexpr uint32_t DirectionOut = 0;
inline constexpr uint32_t DirectionIn = 1;

inline constexpr size_t OpHeaderSize = 8;        // version, code, status
inline constexpr size_t BusIdSize = 32;
inline constexpr size_t PathSize = 256;
inline constexpr size_t DeviceRecordSize = 312;  // path .. bNumInterfaces
inline constexpr size_t InterfaceRecordSize = 4;
inline constexpr size_t UrbHeaderSize = 48;      // every CMD_* and RET_* header
inline constexpr size_t IsoDescriptorSize = 16;

uint16_t Load16(const uint8_t* bytes);
uint32_t Load32(const uint8_t* bytes);
void Store16(uint8_t* bytes, uint16_t value);
void Store32(uint8_t* bytes, uint32_t value);

// One CMD_SUBMIT or CMD_UNLINK header, read from its 48 bytes.
struct UrbCommand {
    uint32_t command = 0;
    uint32_t seqnum = 0;
    uint32_t devid = 0;
    uint32_t direction = 0;
    uint32_t endpoint = 0;
    // CMD_SUBMIT
    uint32_t transferFlags = 0;
    uint32_t bufferLength = 0;
    uint32_t packetCount = 0;      // 0 or 0xFFFFFFFF unless isochronous
    std::array<uint8_t, 8> setup{};
    // CMD_UNLINK
    uint32_t unlinkSeqnum = 0;
};

UrbCommand ReadUrbCommand(const uint8_t* header);

// What the device list and the import reply say about the exported device.
struct ExportedDevice {
    std::string path;
    std::string busId;
    uint32_t busNumber = 1;
    uint32_t deviceNumber = 2;
    uint32_t speed = 3;            // high speed
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t bcdDevice = 0;
    uint8_t deviceClass = 0;
    uint8_t deviceSubClass = 0;
    uint8_t deviceProtocol = 0;
    uint8_t configurationValue = 1;
    uint8_t configurationCount = 1;
    struct Interface {
        uint8_t interfaceClass = 0;
        uint8_t interfaceSubClass = 0;
        uint8_t interfaceProtocol = 0;
    };
    std::vector<Interface> interfaces;
};

std::vector<uint8_t> OpHeader(uint16_t code, uint32_t status);
// The 312-byte record, followed by the interface records when asked for (device list).
std::vector<uint8_t> DeviceRecord(const ExportedDevice& device, bool withInterfaces);
std::vector<uint8_t> RetSubmitRecord(uint32_t seqnum, int32_t status, const std::vector<uint8_t>& inData,
                                     uint32_t actualLength);
std::vector<uint8_t> RetUnlinkRecord(uint32_t seqnum, int32_t status);
// The 48-byte RET_SUBMIT header in place, for an IN reply whose data follows it.
void FillRetSubmitHeader(uint8_t* header, uint32_t seqnum, int32_t status, uint32_t actualLength);

} // namespace kvx512sim::server

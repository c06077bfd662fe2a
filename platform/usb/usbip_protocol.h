// The USB/IP wire records (protocol version 1.1.1) as the client sends and
// reads them. Every field is a byte array, so the records have no padding and
// their layout is checked below; multi-byte fields are big-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

namespace platform::usb::usbip {

// An unsigned big-endian field.
template <class T>
struct BigEndian {
    std::array<uint8_t, sizeof(T)> bytes{};

    T Get() const {
        T value = 0;
        for (uint8_t byte : bytes) {
            value = static_cast<T>((value << 8) | byte);
        }
        return value;
    }
    void Set(T value) {
        for (size_t i = sizeof(T); i-- > 0;) {
            bytes[i] = static_cast<uint8_t>(value & 0xFF);
            value = static_cast<T>(value >> 8);
        }
    }
};
using Be16 = BigEndian<uint16_t>;
using Be32 = BigEndian<uint32_t>;

inline constexpr uint16_t ProtocolVersion = 0x0111;
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

inline constexpr size_t BusIdSize = 32;
inline constexpr size_t PathSize = 256;

// Starts every OP_REQ_* and OP_REP_* message.
struct OpHeader {
    Be16 version;
    Be16 code;
    Be32 status;        // replies: 0 for success
};

// OP_REQ_IMPORT after its header.
struct ImportRequest {
    std::array<char, BusIdSize> busId{};
};

// One exported device, in OP_REP_DEVLIST (followed there by its interfaces)
// and in a successful OP_REP_IMPORT.
struct DeviceRecord {
    std::array<char, PathSize> path{};
    std::array<char, BusIdSize> busId{};
    Be32 busNumber;
    Be32 deviceNumber;
    Be32 speed;
    Be16 vendorId;
    Be16 productId;
    Be16 bcdDevice;
    uint8_t deviceClass = 0;
    uint8_t deviceSubClass = 0;
    uint8_t deviceProtocol = 0;
    uint8_t configurationValue = 0;
    uint8_t configurationCount = 0;
    uint8_t interfaceCount = 0;
};

struct InterfaceRecord {
    uint8_t interfaceClass = 0;
    uint8_t interfaceSubClass = 0;
    uint8_t interfaceProtocol = 0;
    uint8_t padding = 0;
};

// Starts every CMD_* and RET_* message.
struct UrbHeader {
    Be32 command;
    Be32 seqnum;
    Be32 devid;         // bus number << 16 | device number; 0 in replies
    Be32 direction;
    Be32 endpoint;
};

struct SubmitCommand {
    UrbHeader header;
    Be32 transferFlags;
    Be32 bufferLength;
    Be32 startFrame;
    Be32 packetCount;   // 0 for anything but isochronous
    Be32 interval;
    std::array<uint8_t, 8> setup{};
};

struct SubmitReply {
    UrbHeader header;
    Be32 status;        // 0 or a negative Linux error number
    Be32 actualLength;
    Be32 startFrame;
    Be32 packetCount;
    Be32 errorCount;
    std::array<uint8_t, 8> padding{};
};

struct UnlinkCommand {
    UrbHeader header;
    Be32 unlinkSeqnum;
    std::array<uint8_t, 24> padding{};
};

struct UnlinkReply {
    UrbHeader header;
    Be32 status;        // -ECONNRESET when the request was taken back, 0 when it had completed
    std::array<uint8_t, 24> padding{};
};

static_assert(sizeof(OpHeader) == 8 && offsetof(OpHeader, code) == 2 && offsetof(OpHeader, status) == 4);
static_assert(sizeof(ImportRequest) == 32);
static_assert(sizeof(DeviceRecord) == 312);
static_assert(offsetof(DeviceRecord, busId) == 256 && offsetof(DeviceRecord, busNumber) == 288 &&
              offsetof(DeviceRecord, deviceNumber) == 292 && offsetof(DeviceRecord, speed) == 296 &&
              offsetof(DeviceRecord, vendorId) == 300 && offsetof(DeviceRecord, productId) == 302 &&
              offsetof(DeviceRecord, bcdDevice) == 304 && offsetof(DeviceRecord, deviceClass) == 306 &&
              offsetof(DeviceRecord, interfaceCount) == 311);
static_assert(sizeof(InterfaceRecord) == 4);
static_assert(sizeof(UrbHeader) == 20 && offsetof(UrbHeader, endpoint) == 16);
static_assert(sizeof(SubmitCommand) == 48 && offsetof(SubmitCommand, transferFlags) == 20 &&
              offsetof(SubmitCommand, bufferLength) == 24 && offsetof(SubmitCommand, packetCount) == 32 &&
              offsetof(SubmitCommand, setup) == 40);
static_assert(sizeof(SubmitReply) == 48 && offsetof(SubmitReply, status) == 20 &&
              offsetof(SubmitReply, actualLength) == 24 && offsetof(SubmitReply, errorCount) == 36);
static_assert(sizeof(UnlinkCommand) == 48 && offsetof(UnlinkCommand, unlinkSeqnum) == 20);
static_assert(sizeof(UnlinkReply) == 48 && offsetof(UnlinkReply, status) == 20);

// Size of every URB message header.
inline constexpr size_t UrbMessageSize = 48;

template <class Record>
std::array<uint8_t, sizeof(Record)> Encode(const Record& record) {
    static_assert(std::is_trivially_copyable_v<Record> && alignof(Record) == 1);
    std::array<uint8_t, sizeof(Record)> bytes;
    std::memcpy(bytes.data(), &record, sizeof(Record));
    return bytes;
}

// Reads a record from at least sizeof(Record) bytes.
template <class Record>
Record Decode(const uint8_t* bytes) {
    static_assert(std::is_trivially_copyable_v<Record> && alignof(Record) == 1);
    Record record;
    std::memcpy(&record, bytes, sizeof(Record));
    return record;
}

// A NUL-padded text field as a string (it may fill the whole field).
template <size_t N>
std::string FieldText(const std::array<char, N>& field) {
    return std::string(field.data(), strnlen(field.data(), N));
}

} // namespace platform::usb::usbip

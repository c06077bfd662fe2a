// The USB/IP records on the wire: byte for byte as the protocol lays them out.
#include "platform/usb/usbip_protocol.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace platform::usb::usbip;

template <size_t N>
std::vector<uint8_t> Bytes(const std::array<uint8_t, N>& array) {
    return {array.begin(), array.end()};
}

TEST(UsbipProtocol, FieldsAreBigEndian) {
    Be32 word;
    word.Set(0x01020304);
    EXPECT_EQ(Bytes(word.bytes), (std::vector<uint8_t>{1, 2, 3, 4}));
    Be16 half;
    half.bytes = {0xFF, 0x01};
    EXPECT_EQ(half.Get(), 0xFF01);
}

TEST(UsbipProtocol, DeviceListRequestIsEightBytes) {
    OpHeader header;
    header.version.Set(ProtocolVersion);
    header.code.Set(OpReqDevlist);
    EXPECT_EQ(Bytes(Encode(header)), (std::vector<uint8_t>{0x01, 0x11, 0x80, 0x05, 0, 0, 0, 0}));
}

TEST(UsbipProtocol, SubmitCarriesItsFieldsAtTheirOffsets) {
    SubmitCommand command;
    command.header.command.Set(CmdSubmit);
    command.header.seqnum.Set(0x0A0B0C0D);
    command.header.devid.Set(0x00010002);
    command.header.direction.Set(DirectionIn);
    command.header.endpoint.Set(3);
    command.bufferLength.Set(512);
    command.setup = {0x80, 0x06, 0x00, 0x01, 0x00, 0x00, 0x12, 0x00};
    std::vector<uint8_t> expected{0, 0, 0, 1,  0x0A, 0x0B, 0x0C, 0x0D,  0, 1, 0, 2,  0, 0, 0, 1,  0, 0, 0, 3,
                                  0, 0, 0, 0,  0, 0, 2, 0,  0, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0,
                                  0x80, 0x06, 0x00, 0x01, 0x00, 0x00, 0x12, 0x00};
    EXPECT_EQ(Bytes(Encode(command)), expected);
}

TEST(UsbipProtocol, UnlinkNamesTheRequestItTakesBack) {
    UnlinkCommand command;
    command.header.command.Set(CmdUnlink);
    command.header.seqnum.Set(9);
    command.unlinkSeqnum.Set(8);
    const auto bytes = Encode(command);
    EXPECT_EQ(bytes[3], 2);
    EXPECT_EQ(bytes[7], 9);
    EXPECT_EQ(bytes[23], 8);
    EXPECT_EQ(bytes.size(), 48u);
}

TEST(UsbipProtocol, RepliesReadStatusAndLength) {
    std::vector<uint8_t> bytes(48, 0);
    bytes[3] = 3;                                       // RET_SUBMIT
    bytes[7] = 5;                                       // seqnum
    bytes[20] = 0xFF, bytes[21] = 0xFF, bytes[22] = 0xFF, bytes[23] = 0xE0;   // -32
    bytes[26] = 0x01, bytes[27] = 0x02;                 // 258 bytes
    const auto reply = Decode<SubmitReply>(bytes.data());
    EXPECT_EQ(reply.header.command.Get(), RetSubmit);
    EXPECT_EQ(reply.header.seqnum.Get(), 5u);
    EXPECT_EQ(static_cast<int32_t>(reply.status.Get()), -32);
    EXPECT_EQ(reply.actualLength.Get(), 258u);

    bytes[3] = 4;                                       // RET_UNLINK
    bytes[20] = 0xFF, bytes[21] = 0xFF, bytes[22] = 0xFF, bytes[23] = 0x98;   // -104
    EXPECT_EQ(static_cast<int32_t>(Decode<UnlinkReply>(bytes.data()).status.Get()), -104);
}

TEST(UsbipProtocol, DeviceRecordFromTheWire) {
    std::vector<uint8_t> bytes(312, 0);
    const char path[] = "/sys/devices/x/usb1/1-1";
    std::copy(std::begin(path), std::end(path), bytes.begin());
    // A bus ID that fills its field without a terminating NUL is still read whole.
    std::fill(bytes.begin() + 256, bytes.begin() + 288, 'b');
    bytes[291] = 1;                                     // bus 1
    bytes[295] = 7;                                     // device 7
    bytes[299] = 3;                                     // high speed
    bytes[300] = 0x0F, bytes[301] = 0x9C;
    bytes[302] = 0x03, bytes[303] = 0x01;
    bytes[306] = 0xFF;
    bytes[311] = 1;
    const auto record = Decode<DeviceRecord>(bytes.data());
    EXPECT_EQ(FieldText(record.path), "/sys/devices/x/usb1/1-1");
    EXPECT_EQ(FieldText(record.busId), std::string(32, 'b'));
    EXPECT_EQ(record.busNumber.Get(), 1u);
    EXPECT_EQ(record.deviceNumber.Get(), 7u);
    EXPECT_EQ(record.speed.Get(), 3u);
    EXPECT_EQ(record.vendorId.Get(), 0x0F9C);
    EXPECT_EQ(record.productId.Get(), 0x0301);
    EXPECT_EQ(record.deviceClass, 0xFF);
    EXPECT_EQ(record.interfaceCount, 1);
}

} // namespace

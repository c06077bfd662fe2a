#include "platform/usb/usbip_session.h"

#include "platform/usb/usb_driver.h"
#include "platform/usb/usbip_protocol.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace platform::usb {

namespace {

using namespace std::chrono_literals;

constexpr auto ConnectTimeout = 3000ms;
// How long the rest of a message may take once its first byte is there, and
// how long a server may take to answer an operation or an unlink.
constexpr uint32_t MessageGraceMs = 5000;
constexpr uint32_t UnlinkGraceMs = 2000;
constexpr uint32_t MaxListedDevices = 256;
constexpr uint32_t MaxStaleData = 64u << 20;

bool SendOperation(TcpStream& stream, uint16_t code, const void* body, size_t bodySize) {
    usbip::OpHeader header;
    header.version.Set(usbip::ProtocolVersion);
    header.code.Set(code);
    std::vector<uint8_t> message;
    const auto encoded = usbip::Encode(header);
    message.insert(message.end(), encoded.begin(), encoded.end());
    const auto* bytes = static_cast<const uint8_t*>(body);
    message.insert(message.end(), bytes, bytes + bodySize);
    return stream.SendAll(message.data(), message.size());
}

// The reply's header, if it is the expected reply and reports success.
bool ReceiveOperationReply(TcpStream& stream, uint16_t code, Deadline deadline) {
    std::array<uint8_t, sizeof(usbip::OpHeader)> bytes;
    if (!stream.ReceiveExact(bytes.data(), bytes.size(), deadline)) {
        return false;
    }
    const auto header = usbip::Decode<usbip::OpHeader>(bytes.data());
    return header.code.Get() == code && header.status.Get() == 0;
}

ExportedDevice FromRecord(const usbip::DeviceRecord& record) {
    ExportedDevice device;
    device.busId = usbip::FieldText(record.busId);
    device.busNumber = record.busNumber.Get();
    device.deviceNumber = record.deviceNumber.Get();
    device.vendorId = record.vendorId.Get();
    device.productId = record.productId.Get();
    return device;
}

Status StatusOf(int32_t urbStatus) {
    switch (urbStatus) {
    case 0: return Status::Success;
    case -EPIPE: return Status::Stall;
    case -ETIMEDOUT: return Status::TimeOut;
    case -ENODEV:
    case -ESHUTDOWN: return Status::NoDevice;
    default: return Status::Failed;
    }
}

// "EPIPE" for -EPIPE; null for success.
const char* ErrnoName(int32_t urbStatus) {
    if (urbStatus == 0) {
        return nullptr;
    }
    const char* name = urbStatus < 0 && urbStatus > -4096 ? strerrorname_np(-urbStatus) : nullptr;
    return name != nullptr ? name : "unknown URB status";
}

// What the trace calls a failure of the connection rather than of the URB.
constexpr const char* ConnectionLost = "connection lost";
constexpr const char* UnlinkUnanswered = "unlink unanswered";

} // namespace

std::optional<std::vector<ExportedDevice>> QueryExportedDevices(const UsbipAddress& address) {
    auto stream = TcpStream::Connect(address.host, address.port, ConnectTimeout);
    if (!stream || !SendOperation(*stream, usbip::OpReqDevlist, nullptr, 0)) {
        return std::nullopt;
    }
    const Deadline deadline = DeadlineAfter(MessageGraceMs);
    usbip::Be32 count;
    if (!ReceiveOperationReply(*stream, usbip::OpRepDevlist, deadline) ||
        !stream->ReceiveExact(count.bytes.data(), count.bytes.size(), deadline) ||
        count.Get() > MaxListedDevices) {
        return std::nullopt;
    }
    std::vector<ExportedDevice> devices;
    for (uint32_t i = 0; i < count.Get(); ++i) {
        std::array<uint8_t, sizeof(usbip::DeviceRecord)> bytes;
        if (!stream->ReceiveExact(bytes.data(), bytes.size(), deadline)) {
            return std::nullopt;
        }
        const auto record = usbip::Decode<usbip::DeviceRecord>(bytes.data());
        std::vector<uint8_t> interfaces(record.interfaceCount * sizeof(usbip::InterfaceRecord));
        if (!interfaces.empty() && !stream->ReceiveExact(interfaces.data(), interfaces.size(), deadline)) {
            return std::nullopt;
        }
        devices.push_back(FromRecord(record));
    }
    return devices;
}

std::string UsbipInstanceId(const ExportedDevice& device) {
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "USB\\VID_%04X&PID_%04X\\", device.vendorId, device.productId);
    return prefix + device.busId;
}

std::optional<UsbipSession> UsbipSession::Import(const UsbipAddress& address, const std::string& busId) {
    auto stream = TcpStream::Connect(address.host, address.port, ConnectTimeout);
    usbip::ImportRequest request;
    if (busId.size() >= request.busId.size()) {
        return std::nullopt;
    }
    busId.copy(request.busId.data(), busId.size());
    if (!stream || !SendOperation(*stream, usbip::OpReqImport, &request, sizeof request)) {
        return std::nullopt;
    }
    const Deadline deadline = DeadlineAfter(MessageGraceMs);
    std::array<uint8_t, sizeof(usbip::DeviceRecord)> bytes;
    if (!ReceiveOperationReply(*stream, usbip::OpRepImport, deadline) ||
        !stream->ReceiveExact(bytes.data(), bytes.size(), deadline)) {
        return std::nullopt;
    }
    ExportedDevice device = FromRecord(usbip::Decode<usbip::DeviceRecord>(bytes.data()));
    if (device.busId != busId) {
        return std::nullopt;
    }
    return UsbipSession(std::move(*stream), std::move(device));
}

TransferResult UsbipSession::Break() {
    broken_ = true;
    stream_.Close();
    return {Status::NoDevice, 0, ConnectionLost};
}

void UsbipSession::FillHeader(usbip::UrbHeader& header, uint32_t command, uint32_t seqnum,
                              const UrbRequest& request) const {
    header.command.Set(command);
    header.seqnum.Set(seqnum);
    header.devid.Set(Devid());
    header.direction.Set(request.in ? usbip::DirectionIn : usbip::DirectionOut);
    header.endpoint.Set(request.endpoint);
}

TransferResult UsbipSession::Submit(const UrbRequest& request) {
    if (broken_) {
        return {Status::NoDevice, 0, ConnectionLost};
    }
    const uint32_t seqnum = nextSeqnum_++;
    usbip::SubmitCommand command;
    FillHeader(command.header, usbip::CmdSubmit, seqnum, request);
    command.bufferLength.Set(request.length);
    command.setup = request.setup;
    const auto encoded = usbip::Encode(command);
    std::vector<uint8_t> message(encoded.begin(), encoded.end());
    if (!request.in && request.length > 0) {
        message.insert(message.end(), request.buffer, request.buffer + request.length);
    }
    if (!stream_.SendAll(message.data(), message.size())) {
        return Break();
    }
    const Deadline deadline = DeadlineAfter(request.timeoutMs);
    for (;;) {
        const auto wait = stream_.WaitReadable(deadline);
        if (wait == TcpStream::Wait::TimedOut) {
            return TakeBack(seqnum, request);
        }
        if (wait == TcpStream::Wait::Failed) {
            return Break();
        }
        const Reply reply = ReadReply(seqnum, request, 0);
        if (reply.kind == ReplyKind::Mine) {
            return reply.outcome;
        }
        if (reply.kind == ReplyKind::Broken) {
            return Break();
        }
    }
}

TransferResult UsbipSession::TakeBack(uint32_t seqnum, const UrbRequest& request) {
    const uint32_t unlinkSeqnum = nextSeqnum_++;
    usbip::UnlinkCommand command;
    FillHeader(command.header, usbip::CmdUnlink, unlinkSeqnum, request);
    command.unlinkSeqnum.Set(seqnum);
    const auto encoded = usbip::Encode(command);
    if (!stream_.SendAll(encoded.data(), encoded.size())) {
        Break();
        return {Status::TimeOut, 0, ConnectionLost};
    }
    const Deadline deadline = DeadlineAfter(UnlinkGraceMs);
    for (;;) {
        if (stream_.WaitReadable(deadline) != TcpStream::Wait::Ready) {
            // A server that answers not even an unlink is as good as gone.
            Break();
            return {Status::TimeOut, 0, UnlinkUnanswered};
        }
        const Reply reply = ReadReply(seqnum, request, unlinkSeqnum);
        switch (reply.kind) {
        case ReplyKind::Mine:
            // It completed while the unlink was on its way: the data is the player's
            // answer and must not be lost. The unlink's own reply is skipped later.
            return reply.outcome;
        case ReplyKind::Unlinked:
            if (reply.unlinkStatus == 0) {
                abandoned_[seqnum] = request.in;
            }
            return {Status::TimeOut, 0, "ETIMEDOUT"};   // our time-out, the URB taken back
        case ReplyKind::Broken:
            Break();
            return {Status::TimeOut, 0, ConnectionLost};
        case ReplyKind::Other: break;
        }
    }
}

UsbipSession::Reply UsbipSession::ReadReply(uint32_t seqnum, const UrbRequest& request, uint32_t unlinkSeqnum) {
    std::array<uint8_t, usbip::UrbMessageSize> bytes;
    if (!stream_.ReceiveExact(bytes.data(), bytes.size(), DeadlineAfter(MessageGraceMs))) {
        return {};
    }
    const auto header = usbip::Decode<usbip::UrbHeader>(bytes.data());
    const uint32_t replySeqnum = header.seqnum.Get();
    if (header.command.Get() == usbip::RetUnlink) {
        const auto reply = usbip::Decode<usbip::UnlinkReply>(bytes.data());
        if (unlinkSeqnum != 0 && replySeqnum == unlinkSeqnum) {
            return {ReplyKind::Unlinked, {}, static_cast<int32_t>(reply.status.Get())};
        }
        return {ReplyKind::Other, {}, 0};
    }
    if (header.command.Get() != usbip::RetSubmit) {
        return {};
    }
    const auto reply = usbip::Decode<usbip::SubmitReply>(bytes.data());
    const uint32_t actual = reply.actualLength.Get();
    const auto status = static_cast<int32_t>(reply.status.Get());
    if (replySeqnum == seqnum) {
        if (request.in) {
            if (actual > request.length) {
                return {};
            }
            if (actual > 0 && !stream_.ReceiveExact(request.buffer, actual, DeadlineAfter(MessageGraceMs))) {
                return {};
            }
        }
        const Status outcome = StatusOf(status);
        if (outcome == Status::NoDevice) {
            broken_ = true;   // detached: the next scan imports afresh
        }
        return {ReplyKind::Mine, {outcome, std::min(actual, request.length), ErrnoName(status)}, 0};
    }
    const auto stale = abandoned_.find(replySeqnum);
    if (stale == abandoned_.end()) {
        return {};
    }
    if (stale->second && actual > 0) {
        if (actual > MaxStaleData) {
            return {};
        }
        std::array<uint8_t, 4096> discarded;
        for (uint32_t left = actual; left > 0;) {
            const auto piece = std::min<uint32_t>(left, discarded.size());
            if (!stream_.ReceiveExact(discarded.data(), piece, DeadlineAfter(MessageGraceMs))) {
                return {};
            }
            left -= piece;
        }
    }
    abandoned_.erase(stale);
    return {ReplyKind::Other, {}, 0};
}

} // namespace platform::usb

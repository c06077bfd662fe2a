#include "platform/usb/usbip_session.h"

#include "platform/usb/transport_error.h"

#include "platform/usb/usb_driver.h"
#include "platform/usb/usbip_protocol.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
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
// URBs of a run outstanding at once: the 64 blocks of a 32 KiB read go out
// together, and no more bytes than this wait for a server at any time.
constexpr uint32_t MaxOutstanding = 64;
constexpr uint32_t MaxOutstandingBytes = 256 * 1024;

// Checked before every wait, not only when nothing is waiting: a server that
// keeps sending records nobody waits for must not hold a wait past its deadline.
TcpStream::Wait WaitReadableBy(TcpStream& stream, Deadline deadline) {
    if (deadline != Deadline::max() && std::chrono::steady_clock::now() >= deadline) {
        return TcpStream::Wait::TimedOut;
    }
    return stream.WaitReadable(deadline);
}

uint32_t WindowFor(uint32_t length, uint32_t count) {
    const uint32_t byBytes = length > 0 ? std::max<uint32_t>(1, MaxOutstandingBytes / length) : MaxOutstanding;
    return std::min({MaxOutstanding, byBytes, count});
}

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
// `status` (when given) receives the reply's status word.
bool ReceiveOperationReply(TcpStream& stream, uint16_t code, Deadline deadline, uint32_t* status = nullptr) {
    std::array<uint8_t, sizeof(usbip::OpHeader)> bytes;
    if (!stream.ReceiveExact(bytes.data(), bytes.size(), deadline)) {
        return false;
    }
    const auto header = usbip::Decode<usbip::OpHeader>(bytes.data());
    if (status != nullptr) {
        *status = header.status.Get();
    }
    return header.code.Get() == code && header.status.Get() == 0;
}

// The status of an import refused because another client holds the device.
constexpr uint32_t DeviceBusy = 2;

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

// A connection to the server; the reason it cannot be made is kept for the
// program to tell, the libraries above knowing only that no player answered.
std::optional<TcpStream> ConnectToServer(const UsbipAddress& address) {
    std::string why;
    auto stream = TcpStream::Connect(address.host, address.port, ConnectTimeout, &why);
    const bool numeric = address.host.find(':') != std::string::npos;
    SetTransportError(stream ? std::string{}
                             : "Cannot reach the USB/IP server " + (numeric ? "[" + address.host + "]" : address.host) +
                                   ":" + std::to_string(address.port) + ": " + why + ".");
    return stream;
}

// What the trace calls a failure of the connection rather than of the URB.
constexpr const char* ConnectionLost = "connection lost";
constexpr const char* UnlinkUnanswered = "unlink unanswered";

} // namespace

std::optional<std::vector<ExportedDevice>> QueryExportedDevices(const UsbipAddress& address) {
    auto stream = ConnectToServer(address);
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
    auto stream = ConnectToServer(address);
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
    uint32_t status = 0;
    if (!ReceiveOperationReply(*stream, usbip::OpRepImport, deadline, &status) ||
        !stream->ReceiveExact(bytes.data(), bytes.size(), deadline)) {
        if (status == DeviceBusy) {
            SetTransportError("The player " + busId + " of the USB/IP server " + address.host + ":" +
                              std::to_string(address.port) + " is in use by another program.");
        }
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

TransferResult UsbipSession::Submit(const UrbRequest& request) { return SubmitRun(request, 1, nullptr).last; }

UrbRunResult UsbipSession::SubmitRun(const UrbRequest& request, uint32_t count, uint32_t* moved) {
    TransferResult last{Status::Success, 0, nullptr};
    if (count == 0) {
        return {0, last};
    }
    if (broken_) {
        return {0, {Status::NoDevice, 0, ConnectionLost}};
    }
    Run run{request, count, WindowFor(request.length, count)};
    if (outstanding_.size() < run.window) {
        outstanding_.resize(run.window);
    }
    // Each URB's time-out counts from the end of the one before, as when
    // they are submitted one at a time.
    auto headSince = std::chrono::steady_clock::now();
    for (;;) {
        // Replies leave in order; the first failure ends the run.
        while (run.head < run.next && Slot(run, run.head).answered) {
            const Outstanding& done = Slot(run, run.head);
            if (done.outcome.status != Status::Success) {
                if (!broken_) {
                    TakeBackRest(run, run.head + 1);
                }
                return {run.head, done.outcome};
            }
            if (moved != nullptr) {
                moved[run.head] = done.outcome.bytesMoved;
            }
            last = done.outcome;
            ++run.head;
            headSince = std::chrono::steady_clock::now();
        }
        if (run.head == count) {
            return {count, last};
        }
        // Refilled in batches, so that a burst of submits goes out together.
        if (run.next < count && run.next - run.head <= run.window / 2 && !SubmitMore(run)) {
            return {run.head, Break()};
        }
        const Deadline deadline = request.timeoutMs == 0
                                      ? Deadline::max()
                                      : headSince + std::chrono::milliseconds(request.timeoutMs);
        const auto wait = WaitReadableBy(stream_, deadline);
        if (wait == TcpStream::Wait::Failed) {
            return {run.head, Break()};
        }
        if (wait == TcpStream::Wait::TimedOut) {
            TransferResult failure;
            if (TakeBackHead(run, failure)) {
                continue;   // it completed after all
            }
            if (!broken_) {
                TakeBackRest(run, run.head + 1);
            }
            return {run.head, failure};
        }
        if (!ReadReply(run)) {
            return {run.head, Break()};
        }
    }
}

bool UsbipSession::SubmitMore(Run& run) {
    const uint32_t end = std::min(run.count, run.head + run.window);
    commands_.assign(end - run.next, usbip::SubmitCommand{});
    parts_.clear();
    for (size_t i = 0; run.next < end; ++i, ++run.next) {
        Outstanding& urb = Slot(run, run.next);
        urb = Outstanding{};
        urb.index = run.next;
        urb.seqnum = nextSeqnum_++;
        usbip::SubmitCommand& command = commands_[i];
        FillHeader(command.header, usbip::CmdSubmit, urb.seqnum, run.request);
        command.bufferLength.Set(run.request.length);
        command.setup = run.request.setup;
        parts_.push_back({&command, sizeof command});
        if (!run.request.in && run.request.length > 0) {
            parts_.push_back({run.Buffer(urb.index), run.request.length});
        }
    }
    return stream_.SendAll(parts_);
}

UsbipSession::Outstanding* UsbipSession::FindSubmitted(const Run& run, uint32_t seqnum) {
    for (uint32_t index = run.head; index < run.next; ++index) {
        Outstanding& urb = Slot(run, index);
        if (urb.seqnum == seqnum && !urb.answered) {
            return &urb;
        }
    }
    return nullptr;
}

UsbipSession::Outstanding* UsbipSession::FindUnlinked(const Run& run, uint32_t unlinkSeqnum) {
    for (uint32_t index = run.head; index < run.next; ++index) {
        Outstanding& urb = Slot(run, index);
        if (urb.unlinkSeqnum != 0 && urb.unlinkSeqnum == unlinkSeqnum) {
            return &urb;
        }
    }
    return nullptr;
}

bool UsbipSession::TakeBackHead(Run& run, TransferResult& failure) {
    Outstanding& head = Slot(run, run.head);
    head.unlinkSeqnum = nextSeqnum_++;
    usbip::UnlinkCommand command;
    FillHeader(command.header, usbip::CmdUnlink, head.unlinkSeqnum, run.request);
    command.unlinkSeqnum.Set(head.seqnum);
    const auto encoded = usbip::Encode(command);
    if (!stream_.SendAll(encoded.data(), encoded.size())) {
        Break();
        failure = {Status::TimeOut, 0, ConnectionLost};
        return false;
    }
    const Deadline deadline = DeadlineAfter(UnlinkGraceMs);
    while (!head.answered && !head.unlinkAnswered) {
        if (WaitReadableBy(stream_, deadline) != TcpStream::Wait::Ready) {
            // A server that answers not even an unlink is as good as gone.
            Break();
            failure = {Status::TimeOut, 0, UnlinkUnanswered};
            return false;
        }
        if (!ReadReply(run)) {
            Break();
            failure = {Status::TimeOut, 0, ConnectionLost};
            return false;
        }
    }
    if (head.answered) {
        // It completed while the unlink was on its way: the data is the
        // player's answer and must not be lost. The unlink's own reply is
        // skipped when it comes.
        return true;
    }
    failure = {Status::TimeOut, 0, "ETIMEDOUT"};   // our time-out, the URB taken back
    return false;
}

void UsbipSession::TakeBackRest(Run& run, uint32_t first) {
    unlinks_.assign(run.next > first ? run.next - first : 0, usbip::UnlinkCommand{});
    parts_.clear();
    for (uint32_t index = first; index < run.next; ++index) {
        Outstanding& urb = Slot(run, index);
        if (urb.answered) {
            continue;
        }
        urb.unlinkSeqnum = nextSeqnum_++;
        usbip::UnlinkCommand& command = unlinks_[parts_.size()];
        FillHeader(command.header, usbip::CmdUnlink, urb.unlinkSeqnum, run.request);
        command.unlinkSeqnum.Set(urb.seqnum);
        parts_.push_back({&command, sizeof command});
    }
    if (parts_.empty()) {
        return;
    }
    if (!stream_.SendAll(parts_)) {
        Break();
        return;
    }
    const Deadline deadline = DeadlineAfter(UnlinkGraceMs);
    for (;;) {
        bool waiting = false;
        for (uint32_t index = first; index < run.next && !waiting; ++index) {
            const Outstanding& urb = Slot(run, index);
            waiting = !urb.answered && !urb.unlinkAnswered;
        }
        if (!waiting) {
            return;
        }
        if (WaitReadableBy(stream_, deadline) != TcpStream::Wait::Ready || !ReadReply(run)) {
            Break();
            return;
        }
    }
}

bool UsbipSession::ReadReply(Run& run) {
    std::array<uint8_t, usbip::UrbMessageSize> bytes;
    if (!stream_.ReceiveExact(bytes.data(), bytes.size(), DeadlineAfter(MessageGraceMs))) {
        return false;
    }
    const auto header = usbip::Decode<usbip::UrbHeader>(bytes.data());
    const uint32_t replySeqnum = header.seqnum.Get();
    if (header.command.Get() == usbip::RetUnlink) {
        const auto reply = usbip::Decode<usbip::UnlinkReply>(bytes.data());
        if (Outstanding* urb = FindUnlinked(run, replySeqnum)) {
            urb->unlinkAnswered = true;
            if (reply.status.Get() == 0 && !urb->answered) {
                // It had completed already; its reply may still be on its way.
                abandoned_[urb->seqnum] = run.request.in;
            }
        }
        return true;   // the reply to an unlink no longer waited for
    }
    if (header.command.Get() != usbip::RetSubmit) {
        return false;
    }
    const auto reply = usbip::Decode<usbip::SubmitReply>(bytes.data());
    const uint32_t actual = reply.actualLength.Get();
    const auto status = static_cast<int32_t>(reply.status.Get());
    if (Outstanding* urb = FindSubmitted(run, replySeqnum)) {
        if (run.request.in) {
            if (actual > run.request.length) {
                return false;
            }
            if (actual > 0 && !stream_.ReceiveExact(run.Buffer(urb->index), actual, DeadlineAfter(MessageGraceMs))) {
                return false;
            }
        }
        const Status outcome = StatusOf(status);
        if (outcome == Status::NoDevice) {
            broken_ = true;   // detached: the next scan imports afresh
        }
        urb->answered = true;
        urb->outcome = {outcome, std::min(actual, run.request.length), ErrnoName(status)};
        abandoned_.erase(replySeqnum);
        return true;
    }
    const auto stale = abandoned_.find(replySeqnum);
    if (stale == abandoned_.end()) {
        return false;
    }
    if (stale->second && actual > 0) {
        if (actual > MaxStaleData) {
            return false;
        }
        std::array<uint8_t, 4096> discarded;
        for (uint32_t left = actual; left > 0;) {
            const auto piece = std::min<uint32_t>(left, discarded.size());
            if (!stream_.ReceiveExact(discarded.data(), piece, DeadlineAfter(MessageGraceMs))) {
                return false;
            }
            left -= piece;
        }
    }
    abandoned_.erase(stale);
    return true;
}

} // namespace platform::usb

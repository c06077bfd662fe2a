#include "sim/server/usb_device.h"

#include "sim/server/device_descriptors.h"

#include <algorithm>

namespace kvx512sim::server {

namespace {

constexpr uint8_t RequestGetStatus = 0x00;
constexpr uint8_t RequestClearFeature = 0x01;
constexpr uint8_t RequestSetFeature = 0x03;
constexpr uint8_t RequestSetAddress = 0x05;
constexpr uint8_t RequestGetDescriptor = 0x06;
constexpr uint8_t RequestGetConfiguration = 0x08;
constexpr uint8_t RequestSetConfiguration = 0x09;
constexpr uint8_t RequestGetInterface = 0x0A;
constexpr uint8_t RequestSetInterface = 0x0B;
constexpr uint16_t FeatureEndpointHalt = 0;

uint16_t Word(const std::array<uint8_t, 8>& setup, size_t offset) {
    return static_cast<uint16_t>(setup[offset] | (setup[offset + 1] << 8));
}

UrbResult InReply(std::vector<uint8_t> bytes, uint32_t room) {
    UrbResult result;
    if (bytes.size() > room) {
        bytes.resize(room);
    }
    result.actual = static_cast<uint32_t>(bytes.size());
    result.inData = std::move(bytes);
    return result;
}

UrbResult Stalled() { return {UrbStall, 0, {}}; }

} // namespace

int32_t UrbStatus(UsbStatus status) {
    switch (status) {
    case UsbStatus::Success: return UrbOk;
    case UsbStatus::Stall: return UrbStall;
    case UsbStatus::NotAttached: return UrbNoDevice;
    case UsbStatus::TimeOut: return UrbTimedOut;
    case UsbStatus::Failed:
    case UsbStatus::WouldBlock: break;
    }
    return UrbProtocol;
}

UsbDevice::UsbDevice(PlayerSource player, std::FILE* verboseOut, bool keepTranscript)
    : player_(std::move(player)), verboseOut_(verboseOut), keepTranscript_(keepTranscript) {}

void UsbDevice::DrainTranscript() {
    if (verboseOut_ == nullptr && keepTranscript_) {
        return;
    }
    const std::shared_ptr<Player> held = player_();
    Player& player = *held;
    if (verboseOut_ != nullptr) {
        const Transcript transcript = player.GetTranscript();
        const auto& entries = transcript.Entries();
        if (printed_ > entries.size()) {
            printed_ = 0;   // cleared by someone else
        }
        Transcript fresh;
        for (size_t i = printed_; i < entries.size(); ++i) {
            fresh.Add(entries[i]);
        }
        printed_ = entries.size();
        std::fputs(fresh.Describe().c_str(), verboseOut_);
        std::fflush(verboseOut_);
    }
    if (!keepTranscript_) {
        player.ClearTranscript();
        printed_ = 0;
    }
}

void UsbDevice::EndSession() {
    player_()->EndLink(testRequestsMade_);
    testRequestsMade_ = false;
    configuration_ = 0;
}

UrbResult UsbDevice::Control(const std::array<uint8_t, 8>& setup, uint8_t* outData, uint32_t outLength,
                             uint32_t inLength) {
    const uint8_t type = (setup[0] >> 5) & 0x03;
    UrbResult result = type == 0 ? Standard(setup, inLength)
                       : type == 2 ? Vendor(setup, outData, outLength, inLength)
                                   : Stalled();
    DrainTranscript();
    return result;
}

UrbResult UsbDevice::Standard(const std::array<uint8_t, 8>& setup, uint32_t inLength) {
    const uint8_t recipient = setup[0] & 0x1F;
    const uint16_t value = Word(setup, 2);
    const uint16_t index = Word(setup, 4);
    const uint16_t length = Word(setup, 6);
    const uint32_t room = std::min<uint32_t>(length, inLength);
    if (!player_()->Attached()) {
        return {UrbNoDevice, 0, {}};
    }
    switch (setup[1]) {
    case RequestGetDescriptor: {
        const auto kind = static_cast<uint8_t>(value >> 8);
        const auto which = static_cast<uint8_t>(value & 0xFF);
        if (kind == DescriptorDevice) {
            return InReply(DeviceDescriptor(VendorId, player_()->ProductId()), room);
        }
        if (kind == DescriptorConfiguration && which == 0) {
            return InReply(ConfigurationDescriptor(), room);
        }
        if (kind == DescriptorString) {
            if (auto text = StringDescriptor(which)) {
                return InReply(std::move(*text), room);
            }
        }
        return Stalled();
    }
    case RequestSetConfiguration:
        if (value > 1) {
            return Stalled();
        }
        configuration_ = static_cast<uint8_t>(value);
        return {};
    case RequestGetConfiguration: return InReply({configuration_}, room);
    case RequestGetStatus: return InReply({0, 0}, room);
    case RequestGetInterface: return InReply({0}, room);
    case RequestSetInterface: return {UrbStatus(player_()->SetInterface(index, value)), 0, {}};
    case RequestClearFeature:
        if (recipient == 2 && value == FeatureEndpointHalt) {
            // The pipe halt as the player knows it: options 1 on that endpoint.
            UsbRequest request;
            request.pipe = index & 0xFF;
            request.options = 1;
            return PlayerTransfer(request, false);
        }
        return {};
    case RequestSetFeature:
    case RequestSetAddress: return {};
    default: return Stalled();
    }
}

UrbResult UsbDevice::Vendor(const std::array<uint8_t, 8>& setup, uint8_t* outData, uint32_t outLength,
                            uint32_t inLength) {
    const uint16_t count = Word(setup, 2);
    if (setup[0] == 0x40 && setup[1] == TestRequestWithholdReplies) {
        testRequestsMade_ = true;
        player_()->WithholdReplies(count);
        return {};
    }
    if (setup[0] == 0x40 && setup[1] == TestRequestFailTransfers) {
        testRequestsMade_ = true;
        player_()->FailNextTransfers(count);
        return {};
    }
    UsbRequest request;
    request.pipe = PipeControl;
    request.setup = setup;
    const bool in = (setup[0] & 0x80) != 0;
    std::vector<uint8_t> buffer = in ? std::vector<uint8_t>(std::min<uint32_t>(Word(setup, 6), inLength))
                                     : std::vector<uint8_t>(outData, outData + outLength);
    request.data = buffer.empty() ? nullptr : buffer.data();
    request.length = static_cast<uint32_t>(buffer.size());
    UrbResult result = PlayerTransfer(request, in);
    if (in && result.status == UrbOk) {
        buffer.resize(std::min<size_t>(result.actual, buffer.size()));
        result.inData = std::move(buffer);
        result.actual = static_cast<uint32_t>(result.inData.size());
    }
    return result;
}

UrbResult UsbDevice::PlayerTransfer(UsbRequest request, bool in) {
    request.in = in;
    request.wait = false;
    const UsbResponse response = player_()->Transfer(request);
    return {UrbStatus(response.status), response.status == UsbStatus::Success ? response.actual : 0, {}};
}

UrbResult UsbDevice::BulkOut(uint32_t endpoint, uint8_t* data, uint32_t length) {
    UsbRequest request;
    request.pipe = endpoint;
    request.data = length > 0 ? data : nullptr;
    request.length = length;
    UrbResult result = PlayerTransfer(request, false);
    DrainTranscript();
    return result;
}

std::optional<std::chrono::steady_clock::time_point> UsbDevice::BulkInDueAt(uint32_t endpoint) {
    return player_()->InDueAt(0x80 | endpoint);
}

std::optional<UrbResult> UsbDevice::BulkIn(uint32_t endpoint, uint8_t* buffer, uint32_t length) {
    UsbRequest request;
    request.pipe = 0x80 | endpoint;
    request.data = length > 0 ? buffer : nullptr;
    request.length = length;
    request.in = true;
    request.wait = false;
    const UsbResponse response = player_()->Transfer(request);
    if (response.status == UsbStatus::WouldBlock) {
        return std::nullopt;
    }
    DrainTranscript();
    UrbResult result{UrbStatus(response.status), 0, {}};
    if (response.status == UsbStatus::Success) {
        result.actual = std::min(response.actual, length);
    }
    return result;
}

} // namespace kvx512sim::server

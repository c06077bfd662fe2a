#include "portio/protocol_session.h"

#include "usblink/link_settings.h"

namespace portio {

namespace {

constexpr int ReachabilityChecks = 5;
// What manager programs read at a time; larger reads grow the buffer once.
constexpr size_t UsualReadSize = 2 * ProtocolSession::DataChunkSize;

} // namespace

ProtocolSession::ProtocolSession() : link_(usblink::PortioSettings) {
    readBlocks_.resize(UsualReadSize);
    readCounts_.resize(UsualReadSize / wire::BlockSize);
}

ProtocolSession& Session() {
    static ProtocolSession session;
    return session;
}

bool ProtocolSession::IsPlayerPresent() const { return link_.IsPlayerPresent(); }

void ProtocolSession::SetTimeouts(int readTimeoutMs, int writeTimeoutMs) {
    link_.SetTimeouts(readTimeoutMs, writeTimeoutMs);
}

Result ProtocolSession::CheckStatus() {
    if (!IsPlayerPresent()) {
        return Result::NotPresent;
    }
    if (!OpenCurrentLink()) {
        return Result::Unreachable;
    }
    CloseCurrentLink();
    return Result::Ok;
}

bool ProtocolSession::IsPlayerReachable() {
    for (int attempt = 0; attempt < ReachabilityChecks; ++attempt) {
        if (CheckStatus() == Result::Ok) {
            return true;
        }
    }
    return false;
}

bool ProtocolSession::OpenLinkToReachablePlayer() { return IsPlayerReachable() && OpenCurrentLink(); }

void ProtocolSession::CloseCurrentLink() {
    link_.CloseLink(current_);
    current_ = nullptr;
    writeLeft_.reset();
}

bool ProtocolSession::OpenCurrentLink() {
    CloseCurrentLink();
    current_ = link_.OpenLink();
    return current_ != nullptr;
}

Result ProtocolSession::Exchange(int form, int groupIndex, uint16_t code, std::span<const uint8_t> payload,
                                 wire::Block& reply, bool opensDataPhase) {
    if (!link_.SendCommand(current_, form, groupIndex, code, payload.data(), payload.size())) {
        CloseCurrentLink();
        return Result::NotSent;
    }
    if (!link_.ReadReply(current_, reply)) {
        if (opensDataPhase) {
            AbortDataPhase();
        } else {
            CloseCurrentLink();
        }
        return Result::NoReply;
    }
    return Result::Ok;
}

} // namespace portio

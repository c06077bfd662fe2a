#include "sim/player.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace kvx512sim {

namespace {

constexpr uint32_t BlockSize = 512;

bool Strike(int& counter) {
    if (counter > 0) {
        --counter;
        return true;
    }
    return false;
}

std::vector<uint8_t> ShortReply(uint8_t result, std::initializer_list<uint8_t> data) {
    std::vector<uint8_t> block(BlockSize, 0);
    block[0] = '#';
    block[1] = 0;
    block[2] = static_cast<uint8_t>(3 + data.size());
    block[3] = ':';
    block[4] = result;
    std::copy(data.begin(), data.end(), block.begin() + 5);
    block[5 + data.size()] = '.';
    return block;
}

} // namespace

Player::Player(uint16_t productId) : productId_(productId) {}

uint16_t Player::ProductId() const {
    std::lock_guard lock(mutex_);
    return productId_;
}

void Player::SetProductId(uint16_t productId) {
    std::lock_guard lock(mutex_);
    productId_ = productId;
}

bool Player::Attached() const {
    std::lock_guard lock(mutex_);
    return attached_;
}

void Player::Attach() {
    std::lock_guard lock(mutex_);
    attached_ = true;
}

void Player::Detach() {
    std::lock_guard lock(mutex_);
    attached_ = false;
    pendingIn_.clear();
}

void Player::SetIdentification(const Identification& identification) {
    std::lock_guard lock(mutex_);
    identification_ = identification;
}

Identification Player::GetIdentification() const {
    std::lock_guard lock(mutex_);
    return identification_;
}

void Player::FailNextTransfers(int count) {
    std::lock_guard lock(mutex_);
    failTransfers_ = count;
}

void Player::WithholdReplies(int count) {
    std::lock_guard lock(mutex_);
    withheldReplies_ = count;
}

void Player::UnusableHandshakeReplies(int count) {
    std::lock_guard lock(mutex_);
    unusableHandshakes_ = count;
}

void Player::GarbageReplies(int count) {
    std::lock_guard lock(mutex_);
    garbageReplies_ = count;
}

Transcript Player::GetTranscript() const {
    std::lock_guard lock(mutex_);
    return transcript_;
}

void Player::ClearTranscript() {
    std::lock_guard lock(mutex_);
    transcript_.Clear();
}

int Player::CancelRequestCount() const {
    std::lock_guard lock(mutex_);
    return cancelRequests_;
}

size_t Player::PendingReplies() const {
    std::lock_guard lock(mutex_);
    return pendingIn_.size();
}

UsbStatus Player::SetInterface(uint32_t interfaceNumber, uint32_t alternateSetting) {
    std::lock_guard lock(mutex_);
    TranscriptEntry entry;
    entry.kind = TranscriptEntry::Kind::SetInterface;
    entry.status = !attached_ ? UsbStatus::NotAttached
                   : (interfaceNumber == 0 && alternateSetting == 0) ? UsbStatus::Success
                                                                       : UsbStatus::Stall;
    transcript_.Add(entry);
    return entry.status;
}

UsbResponse Player::Transfer(const UsbRequest& request) {
    std::unique_lock lock(mutex_);
    std::vector<uint8_t> moved;
    const UsbResponse response = TransferLocked(request, moved, lock);
    TranscriptEntry entry;
    entry.pipe = request.pipe;
    entry.in = request.in;
    entry.options = request.options;
    entry.setup = request.setup;
    entry.timeoutMs = request.timeoutMs;
    entry.requested = request.length;
    entry.bytes = std::move(moved);
    entry.status = response.status;
    transcript_.Add(std::move(entry));
    return response;
}

UsbResponse Player::TransferLocked(const UsbRequest& request, std::vector<uint8_t>& moved,
                                   std::unique_lock<std::mutex>& lock) {
    if (!attached_) {
        return {UsbStatus::NotAttached, 0};
    }
    if (Strike(failTransfers_)) {
        return {UsbStatus::Failed, 0};
    }
    if (request.pipe == PipeControl) {
        return Control(request);
    }
    if (request.options == 1) {
        // Pipe halt: the endpoint is reset, whatever it still held is gone.
        if (request.pipe == PipeReplies) {
            pendingIn_.clear();
        }
        return {UsbStatus::Success, 0};
    }
    if (request.pipe == PipeOut && !request.in) {
        return WriteOut(request, moved);
    }
    if (request.pipe == PipeReplies && request.in) {
        return ReadIn(request, moved, lock);
    }
    return {UsbStatus::Stall, 0};
}

UsbResponse Player::WriteOut(const UsbRequest& request, std::vector<uint8_t>& moved) {
    if (request.data == nullptr && request.length > 0) {
        return {UsbStatus::Failed, 0};
    }
    moved.assign(request.data, request.data + request.length);
    if (auto command = DecodeCommand(request.data, request.length)) {
        OnCommand(*command);
    }
    // Whatever is not a command is taken and dropped, as the device's firmware does.
    return {UsbStatus::Success, request.length};
}

UsbResponse Player::ReadIn(const UsbRequest& request, std::vector<uint8_t>& moved,
                           std::unique_lock<std::mutex>& lock) {
    if (pendingIn_.empty()) {
        // Nothing to send: the host's read runs into its time-out.
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(request.timeoutMs));
        lock.lock();
        return {UsbStatus::TimeOut, 0};
    }
    std::vector<uint8_t> block = std::move(pendingIn_.front());
    pendingIn_.pop_front();
    const uint32_t count = std::min<uint32_t>(request.length, static_cast<uint32_t>(block.size()));
    if (count > 0 && request.data == nullptr) {
        return {UsbStatus::Failed, 0};
    }
    std::copy_n(block.begin(), count, request.data);
    moved.assign(block.begin(), block.begin() + count);
    return {UsbStatus::Success, count};
}

UsbResponse Player::Control(const UsbRequest& request) {
    // The only vendor request: 40 01, cancel whatever the player is doing.
    if (request.setup[0] == 0x40 && request.setup[1] == 0x01) {
        ++cancelRequests_;
        pendingIn_.clear();
        return {UsbStatus::Success, 0};
    }
    return {UsbStatus::Stall, 0};
}

void Player::Reply(std::vector<uint8_t> block) {
    if (Strike(withheldReplies_)) {
        return;
    }
    if (Strike(garbageReplies_)) {
        for (size_t i = 0; i < block.size(); ++i) {
            block[i] = static_cast<uint8_t>(0xA5 ^ (i * 7));
        }
    }
    pendingIn_.push_back(std::move(block));
}

void Player::ReplyError(uint8_t errorCode) { Reply(ShortReply(1, {errorCode})); }

void Player::OnCommand(const Command& command) {
    if (command.code == "Y") {
        if (Strike(unusableHandshakes_)) {
            auto reply = IdentificationReply(identification_.Text());
            reply[1] = 1;
            Reply(std::move(reply));
            return;
        }
        Reply(IdentificationReply(identification_.Text()));
        return;
    }
    ReplyError(ErrorUnknownCommand);
}

} // namespace kvx512sim

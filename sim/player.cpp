#include "sim/player.h"

#include "sim/reply_block.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace kvx512sim {

namespace {

bool Strike(int& counter) {
    if (counter > 0) {
        --counter;
        return true;
    }
    return false;
}

} // namespace

size_t Player::PendingIn::Remaining() const {
    if (!stream) {
        return block.size();
    }
    const size_t padded = (stream->size() + BlockSize - 1) / BlockSize * BlockSize;
    return padded - offset;
}

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
    return attached_ || ReattachDue();
}

void Player::Attach() {
    std::lock_guard lock(mutex_);
    attached_ = true;
    reattachAt_.reset();
}

void Player::Detach() {
    std::lock_guard lock(mutex_);
    DetachLocked();
    reattachAt_.reset();
}

bool Player::ReattachDue() const { return reattachAt_ && Clock::now() >= *reattachAt_; }

void Player::ReattachIfDue() {
    if (!attached_ && ReattachDue()) {
        attached_ = true;
        reattachAt_.reset();
    }
}

void Player::SetFirmwareSettings(const FirmwareSettings& settings) {
    std::lock_guard lock(mutex_);
    firmware_.settings = settings;
}

FirmwareLoader Player::Firmware() const {
    std::lock_guard lock(mutex_);
    return firmware_;
}

void Player::QueueFirmwareReplies(const std::vector<TimedReply>& replies) {
    const auto now = Clock::now();
    for (const auto& reply : replies) {
        Reply(reply.block, reply.delayMs > 0 ? now + std::chrono::milliseconds(reply.delayMs) : Clock::time_point{});
    }
}

void Player::RestartIfDue() {
    // A confirmed download: once the host has taken the last reply the player
    // leaves the bus and comes back running the new firmware.
    if (!firmware_.RestartDue() || !pendingIn_.empty()) {
        return;
    }
    firmware_.Restarted();
    DetachLocked();
    identification_.rawText.reset();
    identification_.identity = "APPL";
    identification_.version = firmware_.settings.newVersion;
    reattachAt_ = Clock::now() + std::chrono::milliseconds(firmware_.settings.restartPauseMs);
}

void Player::EndLink(bool knobsToo) {
    std::lock_guard lock(mutex_);
    pendingIn_.clear();
    writePhase_.reset();
    if (knobsToo) {
        failTransfers_ = 0;
        failAfter_ = 0;
        withheldReplies_ = 0;
        withholdHandshakes_ = true;
    }
}

void Player::DetachLocked() {
    attached_ = false;
    pendingIn_.clear();
    writePhase_.reset();   // a file cut short never reaches the listing
    firmware_.Abort();
}

void Player::SetIdentification(const Identification& identification) {
    std::lock_guard lock(mutex_);
    identification_ = identification;
}

Identification Player::GetIdentification() const {
    std::lock_guard lock(mutex_);
    return identification_;
}

void Player::FailNextTransfers(int count, int after) {
    std::lock_guard lock(mutex_);
    failTransfers_ = count;
    failAfter_ = count > 0 ? after : 0;
}

bool Player::FailureStrikes() {
    if (failTransfers_ <= 0) {
        return false;
    }
    if (failAfter_ > 0) {
        --failAfter_;
        return false;
    }
    --failTransfers_;
    return true;
}

void Player::CorruptNextStoredFile(uint32_t offset) {
    std::lock_guard lock(mutex_);
    corruptNextFileAt_ = offset;
}

void Player::ResizeNextStoredFile(int32_t delta) {
    std::lock_guard lock(mutex_);
    resizeNextFileBy_ = delta;
}

void Player::WithholdDataAfterBlocks(uint32_t blocks) {
    std::lock_guard lock(mutex_);
    withholdDataAfter_ = blocks;
}

void Player::WithholdDataIfDue() {
    if (withholdDataAfter_ && *withholdDataAfter_ == 0 && !pendingIn_.empty() && pendingIn_.front().stream) {
        pendingIn_.pop_front();
        withholdDataAfter_.reset();
    }
}

void Player::WithholdReplies(int count, bool handshakesToo) {
    std::lock_guard lock(mutex_);
    withheldReplies_ = count;
    withholdHandshakes_ = handshakesToo;
}

void Player::UnusableHandshakeReplies(int count) {
    std::lock_guard lock(mutex_);
    unusableHandshakes_ = count;
}

void Player::GarbageReplies(int count) {
    std::lock_guard lock(mutex_);
    garbageReplies_ = count;
}

void Player::RefuseNextCommand(uint8_t errorCode) {
    std::lock_guard lock(mutex_);
    refuseNext_ = errorCode;
}

void Player::AnswerNextCommandWith(std::vector<uint8_t> block) {
    std::lock_guard lock(mutex_);
    block.resize(BlockSize, 0);
    answerNext_ = std::move(block);
}

void Player::DelayCommandFaults(int commands) {
    std::lock_guard lock(mutex_);
    commandFaultDelay_ = commands;
}

void Player::LimitWaits(uint32_t milliseconds) {
    std::lock_guard lock(mutex_);
    waitLimitMs_ = milliseconds;
}

void Player::DetachAfterDataBytes(uint32_t bytes) {
    std::lock_guard lock(mutex_);
    detachAfter_ = bytes;
}

void Player::OverrideNextListing(std::vector<uint8_t> headerBlock, std::vector<uint8_t> entryBytes) {
    std::lock_guard lock(mutex_);
    if (headerBlock.empty() && entryBytes.empty()) {
        listingOverride_.reset();
        return;
    }
    listingOverride_.emplace(std::move(headerBlock), std::move(entryBytes));
}

void Player::SetFormatPace(int percentStep, uint32_t delayMsPerReply) {
    std::lock_guard lock(mutex_);
    formatStep_ = std::clamp(percentStep, 1, 100);
    formatDelayMs_ = delayMsPerReply;
}

void Player::RecordTranscript(bool on) {
    std::lock_guard lock(mutex_);
    recording_ = on;
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
    size_t count = 0;
    for (const auto& item : pendingIn_) {
        count += item.stream ? (item.Remaining() + BlockSize - 1) / BlockSize : 1;
    }
    return count;
}

bool Player::InDataPhase() const {
    std::lock_guard lock(mutex_);
    return writePhase_.has_value();
}

UsbStatus Player::SetInterface(uint32_t interfaceNumber, uint32_t alternateSetting) {
    std::lock_guard lock(mutex_);
    ReattachIfDue();
    const UsbStatus status = !attached_ ? UsbStatus::NotAttached
                             : (interfaceNumber == 0 && alternateSetting == 0) ? UsbStatus::Success
                                                                                 : UsbStatus::Stall;
    if (recording_) {
        TranscriptEntry entry;
        entry.kind = TranscriptEntry::Kind::SetInterface;
        entry.status = status;
        transcript_.Add(entry);
    }
    return status;
}

UsbResponse Player::Transfer(const UsbRequest& request) {
    std::unique_lock lock(mutex_);
    if (!recording_) {
        return TransferLocked(request, nullptr, lock);
    }
    std::vector<uint8_t> moved;
    const UsbResponse response = TransferLocked(request, &moved, lock);
    if (response.status == UsbStatus::WouldBlock) {
        return response;
    }
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

std::optional<std::chrono::steady_clock::time_point> Player::InDueAt(uint32_t pipe) const {
    std::lock_guard lock(mutex_);
    const auto now = Clock::now();
    if (!(attached_ || ReattachDue()) || (failTransfers_ > 0 && failAfter_ == 0) || pipe != PipeReplies) {
        return now;
    }
    // File data withheld from here on is as good as gone.
    const bool frontWithheld = withholdDataAfter_ && *withholdDataAfter_ == 0 && !pendingIn_.empty() &&
                               pendingIn_.front().stream;
    const size_t first = frontWithheld ? 1 : 0;
    if (pendingIn_.size() <= first) {
        return std::nullopt;
    }
    return pendingIn_[first].readyAt;
}

UsbResponse Player::TransferLocked(const UsbRequest& request, std::vector<uint8_t>* moved,
                                   std::unique_lock<std::mutex>& lock) {
    ReattachIfDue();
    if (!attached_) {
        return {UsbStatus::NotAttached, 0};
    }
    if (FailureStrikes()) {
        return {UsbStatus::Failed, 0};
    }
    if (request.pipe == PipeControl) {
        return Control(request);
    }
    if (request.options == 1) {
        // Pipe halt: the endpoint is reset, whatever it still held is gone
        // (file data still to be read included). A write waiting for data
        // keeps waiting: only its bytes, the cancel request or a detach end it.
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

bool Player::DataPhaseDetaches(uint32_t bytes, uint32_t& allowed) {
    allowed = bytes;
    if (!detachAfter_) {
        phaseBytes_ += bytes;
        return false;
    }
    const uint64_t left = *detachAfter_ > phaseBytes_ ? *detachAfter_ - phaseBytes_ : 0;
    if (bytes < left) {
        phaseBytes_ += bytes;
        return false;
    }
    allowed = static_cast<uint32_t>(left);
    phaseBytes_ += allowed;
    detachAfter_.reset();
    return true;
}

UsbResponse Player::WriteOut(const UsbRequest& request, std::vector<uint8_t>* moved) {
    if (request.data == nullptr && request.length > 0) {
        return {UsbStatus::Failed, 0};
    }
    if (moved != nullptr) {
        moved->assign(request.data, request.data + request.length);
    }
    if (firmware_.Programming()) {
        // The blocks of a firmware download: image bytes, whatever they look like.
        std::vector<TimedReply> replies;
        firmware_.TakeBlocks(request.data, request.length, replies);
        QueueFirmwareReplies(replies);
        return {UsbStatus::Success, request.length};
    }
    if (writePhase_) {
        // In a data phase every byte is data, whatever it looks like.
        uint32_t allowed = 0;
        const bool detaches = DataPhaseDetaches(request.length, allowed);
        TakeWriteData(request.data, allowed);
        if (detaches) {
            const bool cut = allowed < request.length;
            DetachLocked();
            if (cut) {
                return {UsbStatus::NotAttached, allowed};
            }
        }
        return {UsbStatus::Success, request.length};
    }
    if (auto command = DecodeCommand(request.data, request.length)) {
        OnCommand(*command);
    }
    // Whatever is not a command is taken and dropped, as the device's firmware does.
    return {UsbStatus::Success, request.length};
}

UsbResponse Player::ReadIn(const UsbRequest& request, std::vector<uint8_t>* moved,
                           std::unique_lock<std::mutex>& lock) {
    // The clock is read only when there is something to wait for.
    std::optional<Clock::time_point> deadlineAt;
    const auto deadline = [&] {
        if (!deadlineAt) {
            const uint32_t waitMs = waitLimitMs_ > 0 ? std::min(waitLimitMs_, request.timeoutMs) : request.timeoutMs;
            deadlineAt = Clock::now() + std::chrono::milliseconds(waitMs);
        }
        return *deadlineAt;
    };
    for (;;) {
        WithholdDataIfDue();
        if (pendingIn_.empty()) {
            if (!request.wait) {
                return {UsbStatus::WouldBlock, 0};
            }
            // Nothing to send: the host's read runs into its time-out.
            const auto until = deadline();
            lock.unlock();
            std::this_thread::sleep_until(until);
            lock.lock();
            return {UsbStatus::TimeOut, 0};
        }
        const auto readyAt = pendingIn_.front().readyAt;
        if (readyAt == Clock::time_point{} || readyAt <= Clock::now()) {
            break;
        }
        if (!request.wait) {
            return {UsbStatus::WouldBlock, 0};
        }
        const auto until = deadline();
        lock.unlock();
        std::this_thread::sleep_until(std::min(readyAt, until));
        lock.lock();
        if (readyAt > until && Clock::now() >= until) {
            return {UsbStatus::TimeOut, 0};
        }
        if (!attached_) {
            return {UsbStatus::NotAttached, 0};
        }
    }
    if (request.length > 0 && request.data == nullptr) {
        return {UsbStatus::Failed, 0};
    }
    PendingIn& front = pendingIn_.front();
    if (!front.stream) {
        std::vector<uint8_t> block = std::move(front.block);
        pendingIn_.pop_front();
        const uint32_t count = std::min<uint32_t>(request.length, static_cast<uint32_t>(block.size()));
        std::copy_n(block.begin(), count, request.data);
        if (moved != nullptr) {
            moved->assign(block.begin(), block.begin() + count);
        }
        RestartIfDue();
        return {UsbStatus::Success, count};
    }
    // File data: as many bytes as the request takes, straight from the stored file.
    const auto count = static_cast<uint32_t>(std::min<size_t>(request.length, front.Remaining()));
    uint32_t allowed = 0;
    const bool detaches = DataPhaseDetaches(count, allowed);
    const std::vector<uint8_t>& data = *front.stream;
    const size_t fromData = front.offset < data.size() ? std::min<size_t>(allowed, data.size() - front.offset) : 0;
    std::memcpy(request.data, data.data() + front.offset, fromData);
    std::memset(request.data + fromData, 0, allowed - fromData);
    if (moved != nullptr) {
        moved->assign(request.data, request.data + allowed);
    }
    front.offset += allowed;
    if (front.Remaining() == 0) {
        pendingIn_.pop_front();
    }
    if (withholdDataAfter_) {
        const auto blocks = static_cast<uint32_t>((allowed + BlockSize - 1) / BlockSize);
        *withholdDataAfter_ -= std::min(*withholdDataAfter_, blocks);
        WithholdDataIfDue();
    }
    if (detaches) {
        const bool cut = allowed < count;
        DetachLocked();
        if (cut) {
            return {UsbStatus::NotAttached, allowed};
        }
    }
    return {UsbStatus::Success, allowed};
}

UsbResponse Player::Control(const UsbRequest& request) {
    // The only vendor request: 40 01, cancel whatever the player is doing.
    if (request.setup[0] == 0x40 && request.setup[1] == 0x01) {
        ++cancelRequests_;
        pendingIn_.clear();
        writePhase_.reset();   // a file cut short never reaches the listing
        firmware_.Abort();
        return {UsbStatus::Success, 0};
    }
    return {UsbStatus::Stall, 0};
}

void Player::Reply(std::vector<uint8_t> block, Clock::time_point readyAt, bool handshake) {
    if ((!handshake || withholdHandshakes_) && Strike(withheldReplies_)) {
        return;
    }
    if (pendingIn_.size() >= MaxPendingReplies) {
        return;
    }
    if (Strike(garbageReplies_)) {
        for (size_t i = 0; i < block.size(); ++i) {
            block[i] = static_cast<uint8_t>(0xA5 ^ (i * 7));
        }
    }
    PendingIn item;
    item.block = std::move(block);
    item.readyAt = readyAt;
    pendingIn_.push_back(std::move(item));
}

void Player::ReplyError(uint8_t errorCode) { Reply(ShortReply(1, {errorCode})); }

void Player::OnCommand(const Command& command) {
    if (command.code == "Y") {
        if (Strike(unusableHandshakes_)) {
            auto reply = IdentificationReply(identification_.Text());
            reply[1] = 1;
            Reply(std::move(reply), {}, true);
            return;
        }
        Reply(IdentificationReply(identification_.Text()), {}, true);
        return;
    }
    // A delayed fault lets this command through.
    const bool faultDue = (refuseNext_ || answerNext_) && !Strike(commandFaultDelay_);
    if (faultDue && answerNext_) {
        std::vector<uint8_t> block = std::move(*answerNext_);
        answerNext_.reset();
        if (command.code == "R") {
            Reply(block);
        }
        Reply(std::move(block));
        return;
    }
    if (faultDue && refuseNext_) {
        const uint8_t code = *refuseNext_;
        refuseNext_.reset();
        ReplyError(code);
        if (command.code == "R") {
            ReplyError(code);   // the reader takes two answer blocks whatever they say
        }
        return;
    }
    if (command.group == 'G' || command.group == 'C') {
        std::vector<TimedReply> replies;
        firmware_.OnCommand(command, replies);
        QueueFirmwareReplies(replies);
        return;
    }
    if (command.group == 'U' && command.code == "W") {
        OnFontWrite(command);
        return;
    }
    if (command.group == 'M' || command.group == 'S') {
        const int index = command.group == 'M' ? 0 : 1;
        Storage& storage = storages_[static_cast<size_t>(index)];
        if (!storage.present) {
            OnAbsentStorage(command);
            return;
        }
        OnStorageCommand(storage, index, command);
        return;
    }
    ReplyError(ErrorUnknownCommand);
}

} // namespace kvx512sim

#include "sim/firmware_loader.h"

#include "sim/error_code.h"
#include "sim/reply_block.h"

#include <algorithm>

namespace kvx512sim {

namespace {

constexpr uint8_t CodeProgram = 0x01;
constexpr uint8_t CodeErase = 0x02;
constexpr uint8_t CodeCountedErase = 0x03;
constexpr uint8_t ApplicationArea = 'P';

TimedReply Ok(uint32_t delayMs = 0) { return {ShortReply(0, {}), delayMs}; }
TimedReply Refusal(uint8_t code) { return {ShortReply(1, {code}), 0}; }

} // namespace

bool FirmwareLoader::OnCommand(const Command& command, std::vector<TimedReply>& replies) {
    if (command.group == 'G') {
        if (command.code == "O" && command.payload.size() == 2 && command.payload[0] == 0x10) {
            ++setUps_;
            setUpPayload_ = command.payload;
            replies.push_back(Ok());
        } else {
            replies.push_back(Refusal(ErrorUnknownCommand));
        }
        return true;
    }
    if (command.group != 'C') {
        return false;
    }
    const uint8_t code = command.code.size() == 1 ? static_cast<uint8_t>(command.code[0]) : 0;
    const auto& payload = command.payload;
    if (payload.empty() || payload[0] != ApplicationArea) {
        replies.push_back(Refusal(ErrorBadRequest));
        return true;
    }
    switch (code) {
    case CodeCountedErase: {
        if (!settings.countedErase || payload.size() != 1) {
            replies.push_back(Refusal(ErrorUnknownCommand));
            break;
        }
        ++erases_;
        const uint16_t total = settings.eraseSteps;
        replies.push_back({ShortReply(0, {0x00, static_cast<uint8_t>(total >> 8), static_cast<uint8_t>(total)}), 0});
        for (uint32_t step = 0; step < total; ++step) {
            const uint32_t at = settings.eraseDelayMs * (step + 1) / total;
            replies.push_back({ShortReply(0, {0x00, static_cast<uint8_t>(step >> 8), static_cast<uint8_t>(step)}), at});
        }
        replies.push_back(Ok(settings.eraseDelayMs));
        break;
    }
    case CodeErase:
        if (payload.size() != 1) {
            replies.push_back(Refusal(ErrorBadRequest));
            break;
        }
        ++erases_;
        replies.push_back(Ok(settings.eraseDelayMs));
        break;
    case CodeProgram:
        if (payload.size() != 3) {
            replies.push_back(Refusal(ErrorBadRequest));
            break;
        }
        announced_ = static_cast<uint16_t>((payload[1] << 8) | payload[2]);
        image_.clear();
        image_.reserve(size_t{announced_} * 512);
        blocksLeft_ = announced_;
        bytesLeft_ = blocksLeft_ * 512;
        replies.push_back(Ok());
        if (blocksLeft_ == 0) {
            Complete(replies);
        }
        break;
    default:
        replies.push_back(Refusal(ErrorUnknownCommand));
        break;
    }
    return true;
}

void FirmwareLoader::TakeBlocks(const uint8_t* data, uint32_t length, std::vector<TimedReply>& replies) {
    const uint32_t taken = std::min(length, bytesLeft_);
    image_.insert(image_.end(), data, data + taken);
    bytesLeft_ -= taken;
    blocksLeft_ = (bytesLeft_ + 511) / 512;
    if (blocksLeft_ == 0) {
        Complete(replies);
    }
}

void FirmwareLoader::Complete(std::vector<TimedReply>& replies) {
    for (int i = 0; i < settings.busyRepliesAfterProgram; ++i) {
        replies.push_back({ShortReply(0, {0x01}), 0});
    }
    if (settings.confirmProgram) {
        replies.push_back(Ok());
        restartDue_ = settings.restartAfterDownload;
    }
}

} // namespace kvx512sim

#include "updater/engine/firmware_download.h"

#include "updater/engine/code_area_erase.h"
#include "updater/engine/hex_image.h"
#include "wire/reply_view.h"

#include "platform/system/clock.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace updater {

namespace {

constexpr int GroupG = -2;   // 'G'
constexpr int GroupC = -1;   // 'C'
constexpr uint8_t CodeSetUp = 'O';
constexpr uint8_t CodeProgram = 0x01;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The image's size in bytes, or 0 for one that cannot be read or is too large.
uint32_t ImageSize(std::FILE* image) {
    if (std::fseek(image, 0, SEEK_END) != 0) {
        return 0;
    }
    const long end = std::ftell(image);
    if (end <= 0 || static_cast<unsigned long>(end) > 0xFFFFFFFFul || std::fseek(image, 0, SEEK_SET) != 0) {
        return 0;
    }
    const auto size = static_cast<uint32_t>(end);
    return (size + wire::BlockSize - 1) / wire::BlockSize > MaxImageBlocks ? 0 : size;
}

Outcome SetUp(usblink::Link& layer, UsbLink* link, uint8_t setupByte) {
    const uint8_t setUp[2] = {0x10, setupByte};
    if (!layer.SendCommand(link, wire::FormGroupCode, GroupG, CodeSetUp, setUp, sizeof setUp)) {
        return Outcome::SendFailed;
    }
    wire::Block reply{};
    return layer.ReadReply(link, reply) ? Outcome::Done : Outcome::NoReply;
}

Outcome Program(usblink::Link& layer, UsbLink* link, std::FILE* image, uint32_t size, Progress& progress) {
    const auto blocks = static_cast<uint32_t>((size + wire::BlockSize - 1) / wire::BlockSize);
    const uint8_t program[3] = {ApplicationArea, static_cast<uint8_t>(blocks >> 8), static_cast<uint8_t>(blocks)};
    wire::Block reply{};
    if (!layer.SendCommand(link, wire::FormGroupCode, GroupC, CodeProgram, program, sizeof program)) {
        return Outcome::SendFailed;
    }
    if (!layer.ReadReply(link, reply)) {
        return Outcome::NoReply;
    }
    if (!wire::ReplyView(reply).IsAcceptedAndTerminated()) {
        return Outcome::Refused;
    }

    wire::Block block{};
    uint32_t sent = 0;
    int previous = 0;
    for (uint32_t i = 0; i < blocks; ++i) {
        const uint32_t want = std::min<uint32_t>(wire::BlockSize, size - sent);
        block.fill(0);   // the tail of the last block is padding
        if (std::fread(block.data(), 1, want, image) != want) {
            return Outcome::BadFile;
        }
        sent += want;
        if (layer.BulkWrite(link, PipeCommands, block.data(), wire::BlockSize) <= 0) {
            return Outcome::SendFailed;
        }
        const auto percent = static_cast<int>(uint64_t{sent} * 100 / size);
        if (percent != previous) {
            progress.Report(Phase::Program, std::min(percent, 98));
            previous = percent;
        }
    }

    for (int others = 0;;) {
        if (!layer.ReadReply(link, reply)) {
            return Outcome::NoReply;
        }
        if (wire::ReplyView(reply).IsOk()) {
            progress.Report(Phase::Program, 100);
            return Outcome::Done;
        }
        platform::Sleep(1);
        if (++others >= MaxCompletionReplies) {
            return Outcome::Unfinished;
        }
    }
}

} // namespace

Outcome DownloadFirmwareImage(UsbLink* link, uint8_t setupByte, const std::string& flatPath, Progress& progress) {
    usblink::Link& layer = EngineLinkLayer();
    progress.Begin(Phase::SetUp, Pace::Uncounted);
    File image(std::fopen(flatPath.c_str(), "rb"));
    const uint32_t size = image ? ImageSize(image.get()) : 0;
    const Outcome setUp = !image ? Outcome::NoFile : size == 0 ? Outcome::BadFile : SetUp(layer, link, setupByte);
    progress.End(Phase::SetUp, setUp);
    if (setUp != Outcome::Done) {
        return setUp;
    }
    platform::Sleep(10);
    if (const Outcome erased = EraseCodeArea(link, progress); erased != Outcome::Done) {
        return erased;
    }
    progress.Begin(Phase::Program, Pace::Counted);
    platform::Sleep(10);
    const Outcome programmed = Program(layer, link, image.get(), size, progress);
    progress.End(Phase::Program, programmed);
    return programmed;
}

bool FormatFollowsFirmware(bool appFirmware, uint32_t version) {
    return !appFirmware || version < NoFormatFromVersion;
}

} // namespace updater

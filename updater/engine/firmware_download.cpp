#include "updater/engine/firmware_download.h"

#include "updater/engine/hex_image.h"
#include "updater/wizard/wizard_state.h"

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

void SendProgress(Sheet& sheet, LPARAM position) { sheet.SendSheetMessage(WM_WIZ_PROGRESS, ProgressPosition, position); }

} // namespace

bool DownloadFirmwareImage(Sheet& sheet, UsbLink* link, uint8_t setupByte, const std::string& flatPath) {
    std::unique_ptr<std::FILE, FileCloser> image(std::fopen(flatPath.c_str(), "rb"));
    if (!image || std::fseek(image.get(), 0, SEEK_END) != 0) {
        return false;
    }
    const long end = std::ftell(image.get());
    if (end <= 0 || static_cast<unsigned long>(end) > 0xFFFFFFFFul || std::fseek(image.get(), 0, SEEK_SET) != 0) {
        return false;
    }
    const auto size = static_cast<uint32_t>(end);
    const auto blocks = static_cast<uint32_t>((size + portio::BlockSize - 1) / portio::BlockSize);
    if (blocks > MaxImageBlocks) {
        return false;
    }

    portio::Block reply{};
    const uint8_t setUp[2] = {0x10, setupByte};
    if (!SendCommand(link, portio::FormGroupCode, GroupG, CodeSetUp, setUp, sizeof setUp) ||
        !ReadReply(link, reply)) {
        return false;
    }
    platform::Sleep(10);
    if (!EraseCodeArea(sheet, link)) {
        return false;
    }
    g_strStepText = "Upgrading";
    sheet.SendSheetMessage(WM_WIZ_LABEL, 1, 0);
    platform::Sleep(10);

    const uint8_t program[3] = {ApplicationArea, static_cast<uint8_t>(blocks >> 8), static_cast<uint8_t>(blocks)};
    if (!SendCommand(link, portio::FormGroupCode, GroupC, CodeProgram, program, sizeof program) ||
        !ReadReply(link, reply) || !IsEngineReplyOk(reply.data())) {
        return false;
    }

    Link layer;
    portio::Block block{};
    uint32_t sent = 0;
    LPARAM previous = 0;
    for (uint32_t i = 0; i < blocks; ++i) {
        const uint32_t want = std::min<uint32_t>(portio::BlockSize, size - sent);
        block.fill(0);   // the tail of the last block is padding
        if (std::fread(block.data(), 1, want, image.get()) != want) {
            return false;
        }
        sent += want;
        if (layer.BulkWrite(link, PipeCommands, block.data(), portio::BlockSize) <= 0) {
            return false;
        }
        const auto percent = static_cast<LPARAM>(uint64_t{sent} * 100 / size);
        if (percent != previous) {
            SendProgress(sheet, std::min<LPARAM>(percent, 98));
            previous = percent;
        }
    }

    for (int others = 0;;) {
        if (!ReadReply(link, reply)) {
            return false;
        }
        if (IsOkReply(reply.data())) {
            SendProgress(sheet, 100);
            return true;
        }
        platform::Sleep(1);
        if (++others >= MaxCompletionReplies) {
            return false;
        }
    }
}

} // namespace updater

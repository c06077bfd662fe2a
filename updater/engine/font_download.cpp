#include "updater/engine/font_download.h"

#include "updater/engine/engine_link.h"
#include "updater/engine/system_message.h"
#include "platform/system/temporary_file.h"
#include "updater/resources/embedded_resources.h"
#include "updater/wizard/wizard_state.h"
#include "updater/wizard/wizard_texts.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace updater {

namespace {

constexpr int GroupU = 2;
constexpr const char* MessageBoxCaption = "Fw Loader";

} // namespace

int StartFontDownload(const std::string& name, uint32_t size) {
    if (name.size() > MaxFontNameLength) {
        return -1;
    }
    std::vector<uint8_t> payload(name.begin(), name.end());
    for (int shift = 24; shift >= 0; shift -= 8) {
        payload.push_back(static_cast<uint8_t>(size >> shift));
    }
    UsbLink* link = ReopenEngineLink();
    if (link == nullptr) {
        return -1;
    }
    portio::Block reply{};
    if (!SendCommand(link, portio::FormGroupCode, GroupU, 'W', payload.data(), payload.size()) ||
        !ReadReply(link, reply)) {
        CloseEngineLink();
        return -1;
    }
    return IsEngineReplyOk(reply.data()) ? 1 : -1;
}

bool WriteDataBlocks(const uint8_t* data, uint32_t length) {
    UsbLink* link = EngineLink();
    if (link == nullptr || length == 0 || data == nullptr) {
        return false;
    }
    Link layer;
    const auto fail = [&] {
        layer.SendCancelRequest(link);
        CloseEngineLink();
        return false;
    };
    const uint32_t whole = length / DataWriteBytes * DataWriteBytes;
    for (uint32_t at = 0; at < whole; at += DataWriteBytes) {
        if (layer.BulkWrite(link, PipeCommands, data + at, DataWriteBytes) < 0) {
            return fail();
        }
    }
    const uint32_t rest = length - whole;
    if (rest == 0) {
        return true;
    }
    std::vector<uint8_t> staging(DataWriteBytes, 0);   // the padding goes out as zeros
    std::copy_n(data + whole, rest, staging.begin());
    const uint32_t padded = (rest + 511) / 512 * 512;
    if (layer.BulkWrite(link, PipeCommands, staging.data(), padded) < 0) {
        return fail();
    }
    return true;
}

bool SendFontChunk(const uint8_t* data, uint32_t length) {
    if (length == 0) {
        return false;
    }
    std::vector<uint8_t> staging(FontChunkBytes);
    for (uint32_t at = 0; at < length; at += FontChunkBytes) {
        const uint32_t piece = std::min(FontChunkBytes, length - at);
        std::fill(staging.begin(), staging.end(), uint8_t{0});
        std::copy_n(data + at, piece, staging.begin());
        if (!WriteDataBlocks(staging.data(), piece)) {
            return false;
        }
    }
    return true;
}

unsigned FontDownloadWorker(Sheet& sheet) {
    LoadWizardText(sheet.format.mainText, 118);
    sheet.SendPageMessage(Page::Format, WM_WIZ_REFRESH, 0, 0);

    const std::string path = platform::CreateTemporaryFile("$512Bfont");
    const auto font = resources::FindResource(resources::FontResource);
    if (!path.empty()) {
        platform::WriteWholeFile(path, font.data(), font.size());
    }

    std::FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
    const auto finish = [&](bool success) {
        if (file != nullptr) {
            std::fclose(file);
        }
        if (!path.empty()) {
            std::remove(path.c_str());
        }
        sheet.SendSheetMessage(WM_WIZ_PROGRESS, ProgressHide, 0);
        LoadWizardText(sheet.format.mainText, success ? 122 : 121);
        sheet.SendPageMessage(Page::Format, WM_WIZ_REFRESH, 0, 0);
        PostButtons(sheet, PSWIZB_FINISH);
        g_bBusy = 0;
        return success ? 1u : 0u;
    };

    if (file == nullptr) {
        char text[SystemMessageCapacity];
        SystemMessageText(STG_E_FILENOTFOUND, path, text);
        sheet.ShowMessageBox(text, MessageBoxCaption, MB_OK | MB_ICONINFORMATION);
        return finish(false);
    }
    uint32_t size = 0;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long end = std::ftell(file);
        size = end > 0 && static_cast<unsigned long>(end) <= 0xFFFFFFFFul ? static_cast<uint32_t>(end) : 0;
    }
    if (size == 0 || std::fseek(file, 0, SEEK_SET) != 0) {
        return finish(false);
    }
    const uint32_t chunks = (size + FontChunkBytes - 1) / FontChunkBytes;

    sheet.SendSheetMessage(WM_WIZ_PROGRESS, ProgressShow, 0);
    if (StartFontDownload(path, size) != 1) {
        return finish(false);
    }
    uint32_t left = size;
    LPARAM lastSent = 0;
    for (uint32_t done = 1; done <= chunks; ++done) {
        const uint32_t length = std::min(FontChunkBytes, left);
        std::vector<uint8_t> buffer(length + 1, 0);
        if (std::fread(buffer.data(), 1, length, file) != length && std::ferror(file)) {
            return finish(false);
        }
        if (!SendFontChunk(buffer.data(), length)) {
            return finish(false);
        }
        left -= length;
        const auto percent = static_cast<LPARAM>(uint64_t{done} * 100 / chunks);
        if (percent > lastSent) {
            sheet.SendSheetMessage(WM_WIZ_PROGRESS, ProgressPosition, percent);
            lastSent = percent;
        }
    }
    CloseEngineLink();
    return finish(true);
}

} // namespace updater

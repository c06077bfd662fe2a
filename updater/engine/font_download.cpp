#include "updater/engine/font_download.h"

#include "updater/engine/engine_link.h"
#include "updater/resources/embedded_resources.h"
#include "wire/reply_view.h"

#include "platform/system/temporary_file.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace updater {

namespace {

constexpr int GroupU = 2;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The file's size, or 0 for one that cannot be measured or is too large.
uint32_t FileSize(std::FILE* file) {
    uint32_t size = 0;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long end = std::ftell(file);
        size = end > 0 && static_cast<unsigned long>(end) <= 0xFFFFFFFFul ? static_cast<uint32_t>(end) : 0;
    }
    return size != 0 && std::fseek(file, 0, SEEK_SET) == 0 ? size : 0;
}

Outcome SendFont(std::FILE* file, uint32_t size, const std::string& name, Progress& progress) {
    if (const Outcome started = StartFontDownload(name, size); started != Outcome::Done) {
        return started;
    }
    const uint32_t chunks = (size + FontChunkBytes - 1) / FontChunkBytes;
    uint32_t left = size;
    int lastSent = 0;
    for (uint32_t done = 1; done <= chunks; ++done) {
        const uint32_t length = std::min(FontChunkBytes, left);
        std::vector<uint8_t> buffer(length + 1, 0);
        if (std::fread(buffer.data(), 1, length, file) != length && std::ferror(file)) {
            return Outcome::BadFile;
        }
        if (!SendFontChunk(buffer.data(), length)) {
            return Outcome::SendFailed;
        }
        left -= length;
        const auto percent = static_cast<int>(uint64_t{done} * 100 / chunks);
        if (percent > lastSent) {
            progress.Report(Phase::Font, percent);
            lastSent = percent;
        }
    }
    CloseEngineLink();
    return Outcome::Done;
}

// The carried font in a new temporary file; empty when none could be made.
std::string StageCarriedFont() {
    const std::string path = platform::CreateTemporaryFile("$512Bfont");
    if (!path.empty()) {
        const auto font = resources::FindResource(resources::FontResource);
        platform::WriteWholeFile(path, font.data(), font.size());
    }
    return path;
}

} // namespace

Outcome StartFontDownload(const std::string& name, uint32_t size) {
    if (name.size() > MaxFontNameLength) {
        return Outcome::BadFile;
    }
    std::vector<uint8_t> payload(name.begin(), name.end());
    for (int shift = 24; shift >= 0; shift -= 8) {
        payload.push_back(static_cast<uint8_t>(size >> shift));
    }
    UsbLink* link = ReopenEngineLink();
    if (link == nullptr) {
        return Outcome::LinkFailed;
    }
    usblink::Link& layer = EngineLinkLayer();
    if (!layer.SendCommand(link, wire::FormGroupCode, GroupU, 'W', payload.data(), payload.size())) {
        CloseEngineLink();
        return Outcome::SendFailed;
    }
    wire::Block reply{};
    if (!layer.ReadReply(link, reply)) {
        CloseEngineLink();
        return Outcome::NoReply;
    }
    return wire::ReplyView(reply).IsAcceptedAndTerminated() ? Outcome::Done : Outcome::Refused;
}

bool WriteDataBlocks(const uint8_t* data, uint32_t length) {
    UsbLink* link = EngineLink();
    if (link == nullptr || length == 0 || data == nullptr) {
        return false;
    }
    usblink::Link& layer = EngineLinkLayer();
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

Outcome DownloadFontFile(const std::string& path, Progress& progress) {
    File file(path.empty() ? nullptr : std::fopen(path.c_str(), "rb"));
    if (!file) {
        return Outcome::NoFile;
    }
    const uint32_t size = FileSize(file.get());
    if (size == 0) {
        return Outcome::BadFile;
    }
    progress.Begin(Phase::Font, Pace::Counted);
    const Outcome outcome = SendFont(file.get(), size, path, progress);
    progress.End(Phase::Font, outcome);
    return outcome;
}

Outcome DownloadCarriedFont(Progress& progress, std::string& path) {
    path = StageCarriedFont();
    const Outcome outcome = DownloadFontFile(path, progress);
    if (!path.empty()) {
        std::remove(path.c_str());
    }
    return outcome;
}

} // namespace updater

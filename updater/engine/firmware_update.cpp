#include "updater/engine/firmware_update.h"

#include "updater/engine/engine_link.h"
#include "updater/engine/firmware_download.h"
#include "updater/engine/hex_image.h"
#include "updater/resources/embedded_resources.h"

#include "platform/system/temporary_file.h"

#include <cstdio>

namespace updater {

Outcome UpdateFirmware(Progress& progress) {
    const std::string flatPath = platform::CreateTemporaryFile("$512Bbin");
    const std::string hexPath = platform::CreateTemporaryFile("$512Bhex");
    const auto hexText = resources::FindResource(resources::FirmwareHexResource);
    if (!hexPath.empty()) {
        platform::WriteWholeFile(hexPath, hexText.data(), hexText.size());
    }
    // A failed conversion leaves an empty image, which the download refuses.
    ConvertHexImage(hexPath, flatPath, ApplicationBase);
    const auto removeFiles = [&] {
        std::remove(flatPath.c_str());
        std::remove(hexPath.c_str());
    };

    SetLinkTimeouts(LongReadTimeoutMs, WriteTimeoutMs);
    UsbLink* link = ReopenEngineLink();
    if (link == nullptr) {
        removeFiles();
        return Outcome::LinkFailed;
    }
    const Outcome outcome = DownloadFirmwareImage(link, 0, flatPath, progress);
    CloseEngineLink();
    removeFiles();
    if (outcome == Outcome::Done) {
        SetLinkTimeouts(UsualReadTimeoutMs, WriteTimeoutMs);
    }
    return outcome;
}

} // namespace updater

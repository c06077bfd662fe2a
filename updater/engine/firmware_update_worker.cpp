#include "updater/engine/firmware_download.h"

#include "updater/engine/hex_image.h"
#include "platform/system/temporary_file.h"
#include "updater/resources/embedded_resources.h"
#include "updater/wizard/player_detection.h"
#include "updater/wizard/wizard_state.h"
#include "updater/wizard/wizard_texts.h"

#include "platform/system/clock.h"

#include <cstdio>

namespace updater {

namespace {

void SendProgress(Sheet& sheet, LPARAM position) { sheet.SendSheetMessage(WM_WIZ_PROGRESS, ProgressPosition, position); }

void PumpThreadMessages() {
    platform::MSG message;
    while (platform::PeekMessage(message, true)) {
        if (message.hwnd == nullptr || message.message == platform::WM_DESTROY ||
            message.message == platform::WM_CLOSE || message.message == platform::WM_QUIT) {
            continue;
        }
        platform::SendMessage(message.hwnd, message.message, message.wParam, message.lParam);
    }
}

} // namespace

unsigned FirmwareUpdateWorker(Sheet& sheet) {
    sheet.SendSheetMessage(WM_WIZ_PROGRESS, ProgressShow, 0);
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

    SetLinkTimeouts(3000000, 100000);
    bool done = false;
    if (UsbLink* link = ReopenEngineLink()) {
        sheet.firmware.partLabel = ApplicationLabel;
        sheet.firmware.stageLabel = "Initializing";
        sheet.SendSheetMessage(WM_WIZ_REFRESH, 0, 0);
        done = DownloadFirmwareImage(sheet, link, 0, flatPath);
        if (!done) {
            CloseEngineLink();
            removeFiles();
            sheet.firmware.partLabel.clear();
            sheet.firmware.stageLabel.clear();
            sheet.SendSheetMessage(WM_WIZ_REFRESH, 0, 0);
        }
    } else {
        removeFiles();
    }

    if (!done) {
        SendProgress(sheet, 0);
        sheet.SendSheetMessage(WM_WIZ_PROGRESS, ProgressHide, 0);
        LoadWizardText(sheet.firmware.mainText, 119);
        PostButtons(sheet, PSWIZB_FINISH);
        sheet.SendSheetMessage(WM_WIZ_REFRESH, 0, 0);
        g_bBusy = 0;
        return 0;
    }

    removeFiles();
    CloseEngineLink();
    SetLinkTimeouts(300000, 100000);
    SendProgress(sheet, 0);
    sheet.SendSheetMessage(WM_WIZ_PROGRESS, ProgressHide, 0);
    sheet.firmware.partLabel.clear();
    sheet.firmware.stageLabel.clear();
    if (g_bAppFirmware && g_dwPlayerVersion >= NoFormatFromVersion) {
        LoadWizardText(sheet.firmware.mainText, 122);
        sheet.SendSheetMessage(WM_WIZ_REFRESH, 0, 0);
        PostButtons(sheet, PSWIZB_FINISH);
        g_bBusy = 0;
        return 1;
    }
    LoadWizardText(sheet.firmware.mainText, 113);
    sheet.SendSheetMessage(WM_WIZ_REFRESH, 0, 0);
    g_bReconnectExpected = 1;
    // Let the player go and come back while this thread's own messages still flow.
    for (int round = 0; round < 500; ++round) {
        PumpThreadMessages();
        platform::Sleep(1);
    }
    g_bBusy = 0;
    sheet.BeginThread([&sheet] { return PlayerDetectWorker(sheet); });
    return 1;
}

} // namespace updater

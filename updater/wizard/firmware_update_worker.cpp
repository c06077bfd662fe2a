#include "updater/wizard/firmware_update_worker.h"

#include "updater/engine/firmware_download.h"
#include "updater/engine/firmware_update.h"
#include "updater/wizard/player_detection.h"
#include "updater/wizard/sheet_progress.h"
#include "updater/wizard/wizard_state.h"
#include "updater/wizard/wizard_texts.h"

#include "platform/system/clock.h"

namespace updater {

namespace {

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

void HideBar(Sheet& sheet) {
    sheet.SendSheetMessage(WM_WIZ_PROGRESS, ProgressPosition, 0);
    sheet.SendSheetMessage(WM_WIZ_PROGRESS, ProgressHide, 0);
}

} // namespace

unsigned FirmwareUpdateWorker(Sheet& sheet) {
    sheet.SendSheetMessage(WM_WIZ_PROGRESS, ProgressShow, 0);
    SheetProgress progress(sheet);
    const Outcome outcome = UpdateFirmware(progress);
    if (outcome != Outcome::Done) {
        if (outcome != Outcome::LinkFailed) {
            // The labels the step showed go.
            sheet.firmware.partLabel.clear();
            sheet.firmware.stageLabel.clear();
            sheet.SendSheetMessage(WM_WIZ_REFRESH, 0, 0);
        }
        HideBar(sheet);
        LoadWizardText(sheet.firmware.mainText, TextId::FirmwareFailed);
        PostButtons(sheet, PSWIZB_FINISH);
        sheet.SendSheetMessage(WM_WIZ_REFRESH, 0, 0);
        g_bBusy = 0;
        return 0;
    }

    HideBar(sheet);
    sheet.firmware.partLabel.clear();
    sheet.firmware.stageLabel.clear();
    if (!FormatFollowsFirmware(g_bAppFirmware != 0, g_dwPlayerVersion)) {
        LoadWizardText(sheet.firmware.mainText, TextId::AllDone);
        sheet.SendSheetMessage(WM_WIZ_REFRESH, 0, 0);
        PostButtons(sheet, PSWIZB_FINISH);
        g_bBusy = 0;
        return 1;
    }
    LoadWizardText(sheet.firmware.mainText, TextId::ReconnectForFormat);
    sheet.SendSheetMessage(WM_WIZ_REFRESH, 0, 0);
    g_bReconnectExpected = 1;
    // Let the player go and come back while this thread's own messages still flow.
    for (uint32_t round = 0; round < RestartPauseMs; ++round) {
        PumpThreadMessages();
        platform::Sleep(1);
    }
    g_bBusy = 0;
    sheet.BeginThread([&sheet] { return PlayerDetectWorker(sheet); });
    return 1;
}

} // namespace updater

#include "updater/wizard/page_activation.h"

#include "updater/engine/firmware_download.h"
#include "updater/engine/storage_format.h"
#include "updater/wizard/manager_check.h"
#include "updater/wizard/player_detection.h"
#include "updater/wizard/wizard_state.h"
#include "updater/wizard/wizard_texts.h"

namespace updater {

namespace {

constexpr int CancelId = 2;

} // namespace

void ActivateIntroPage(Sheet& sheet) {
    LoadWizardText(sheet.intro.text, 110);
    PostButtons(sheet, 0);
    sheet.RefreshPage(Page::Intro);
    sheet.BeginThread([&sheet] { return CloseManagersWorker(sheet); });
}

void ActivateConnectPage(Sheet& sheet) {
    LoadWizardText(sheet.connect.text, 115);
    PostButtons(sheet, 0);
    sheet.RefreshPage(Page::Connect);
    g_bReconnectExpected = 0;
    sheet.BeginThread([&sheet] { return PlayerDetectWorker(sheet); });
}

void ActivateFirmwarePage(Sheet& sheet) {
    LoadWizardText(sheet.firmware.mainText, 114);
    sheet.SendPageMessage(Page::Firmware, WM_WIZ_PROGRESS, ProgressRange, 100);
    sheet.RefreshPage(Page::Firmware);
    PostButtons(sheet, 0);
    // Busy before the worker runs, so that a worker that ends at once
    // cannot have its clearing overtaken.
    g_bBusy = 1;
    sheet.BeginThread([&sheet] { return FirmwareUpdateWorker(sheet); });
}

void ActivateFormatPage(Sheet& sheet) {
    LoadWizardText(sheet.format.mainText, 117);
    sheet.SendPageMessage(Page::Format, WM_WIZ_PROGRESS, ProgressRange, 100);
    sheet.RefreshPage(Page::Format);
    PostButtons(sheet, 0);
    g_bBusy = 1;
    sheet.BeginThread([&sheet] { return FormatWorker(sheet); });
}

bool SwallowsCommand(int controlId) { return controlId == CancelId && g_bBusy != 0; }

} // namespace updater

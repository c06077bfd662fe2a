#include "updater/wizard/page_activation.h"

#include "updater/wizard/firmware_update_worker.h"
#include "updater/wizard/format_worker.h"
#include "updater/wizard/manager_check.h"
#include "updater/wizard/player_detection.h"
#include "updater/wizard/wizard_state.h"
#include "updater/wizard/wizard_texts.h"

namespace updater {

namespace {

constexpr int CancelId = 2;

// Pages 4 and 5: their text, the bar 0..100, buttons off, busy, and the worker.
void ActivateBusyPage(Sheet& sheet, Page page, std::string& mainText, TextId text, unsigned (*worker)(Sheet&)) {
    LoadWizardText(mainText, text);
    sheet.SendPageMessage(page, WM_WIZ_PROGRESS, ProgressRange, 100);
    sheet.RefreshPage(page);
    PostButtons(sheet, 0);
    // Busy before the worker runs, so that a worker that ends at once
    // cannot have its clearing overtaken.
    g_bBusy = 1;
    sheet.BeginThread([&sheet, worker] { return worker(sheet); });
}

} // namespace

void ActivateIntroPage(Sheet& sheet) {
    LoadWizardText(sheet.intro.text, TextId::Welcome);
    PostButtons(sheet, 0);
    sheet.RefreshPage(Page::Intro);
    sheet.BeginThread([&sheet] { return CloseManagersWorker(sheet); });
}

void ActivateConnectPage(Sheet& sheet) {
    LoadWizardText(sheet.connect.text, TextId::ConnectPlayer);
    PostButtons(sheet, 0);
    sheet.RefreshPage(Page::Connect);
    g_bReconnectExpected = 0;
    sheet.BeginThread([&sheet] { return PlayerDetectWorker(sheet); });
}

void ActivateFirmwarePage(Sheet& sheet) {
    ActivateBusyPage(sheet, Page::Firmware, sheet.firmware.mainText, TextId::FirmwareUpdating, FirmwareUpdateWorker);
}

void ActivateFormatPage(Sheet& sheet) {
    ActivateBusyPage(sheet, Page::Format, sheet.format.mainText, TextId::Formatting, FormatWorker);
}

bool SwallowsCommand(int controlId) { return controlId == CancelId && g_bBusy != 0; }

} // namespace updater

#include "updater/wizard/sheet_progress.h"

#include "updater/wizard/erase_timer.h"
#include "updater/wizard/wizard_state.h"
#include "updater/wizard/wizard_texts.h"

namespace updater {

void SheetProgress::Begin(Phase phase, Pace pace) {
    Sheet& sheet = sheet_;
    switch (phase) {
    case Phase::SetUp:
        sheet.firmware.partLabel = ApplicationLabel;
        sheet.firmware.stageLabel = InitializingLabel;
        sheet.SendSheetMessage(WM_WIZ_REFRESH, 0, 0);
        break;
    case Phase::Erase:
        if (pace == Pace::Uncounted) {
            g_bStopEraseTimer = false;
            sheet.BeginThread([&sheet] { return EraseTimerWorker(sheet); });
        }
        break;
    case Phase::Program:
        g_strStepText = UpgradingLabel;
        sheet.SendSheetMessage(WM_WIZ_LABEL, 1, 0);
        break;
    case Phase::Font: sheet.SendSheetMessage(WM_WIZ_PROGRESS, ProgressShow, 0); break;
    case Phase::Format: break;
    }
}

void SheetProgress::Report(Phase /*phase*/, int percent) {
    sheet_.SendSheetMessage(WM_WIZ_PROGRESS, ProgressPosition, percent);
}

void SheetProgress::End(Phase phase, Outcome outcome) {
    if (phase == Phase::Erase) {
        g_bStopEraseTimer = true;
        if (outcome == Outcome::Done) {
            Report(phase, 0);
        }
    } else if (phase == Phase::Format && outcome == Outcome::LinkFailed) {
        sheet_.SendSheetMessage(WM_WIZ_PROGRESS, ProgressRange, 0);
    }
}

} // namespace updater

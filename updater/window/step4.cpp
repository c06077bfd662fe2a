#include "updater/window/step4.h"

#include "updater/wizard/wizard_state.h"
#include "updater/window/wizard_progress_bar.h"

#include <QLabel>

namespace updater::window {

CStep4::CStep4(FirmwareTexts& texts) : TemplatePage(309, 155), texts_(texts) {
    mainText_ = AddStatic(1011, 13, 13, 280, 100, QStringLiteral("OS Upgrading"));
    // Text 113 needs the room of the labels and the bar, empty and hidden by then.
    LetGrow(mainText_, 148);
    bar_ = AddProgressBar(1027, 7, 130, 295, 10);
    stageLabel_ = AddStatic(1026, 9, 117, 39, 11, QStringLiteral("Upgrading"));
    partLabel_ = AddStatic(1024, 55, 117, 104, 11, QStringLiteral("Application Code"));
}

LRESULT CStep4::OnWizardMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_WIZ_PROGRESS) {
        bar_->OnProgressMessage(wParam, lParam);
    } else if (message == WM_WIZ_REFRESH) {
        UpdateData(wParam != 0);
    } else if (message == WM_WIZ_LABEL) {
        if (wParam == 0) {
            texts_.partLabel = g_strStepText;
        } else if (wParam == 1) {
            texts_.stageLabel = g_strStepText;
        } else if (wParam == 2) {
            texts_.mainText = g_strStepText;
        }
        UpdateData(false);
    }
    return 0;
}

void CStep4::DoDataExchange(bool saveAndValidate) {
    Exchange(*mainText_, texts_.mainText, saveAndValidate);
    Exchange(*stageLabel_, texts_.stageLabel, saveAndValidate);
    Exchange(*partLabel_, texts_.partLabel, saveAndValidate);
}

} // namespace updater::window

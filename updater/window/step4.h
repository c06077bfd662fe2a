// Page 4 (template 136): the firmware step, its bar and its labels, driven
// by the worker's private messages.
#pragma once

#include "updater/window/template_page.h"

namespace updater::window {

class CStep4 final : public TemplatePage {
public:
    explicit CStep4(FirmwareTexts& texts);

    // WM_WIZ_PROGRESS on the bar; WM_WIZ_REFRESH: UpdateData(wParam);
    // WM_WIZ_LABEL: g_strStepText into the part label (0), the stage label
    // (1) or the main text (2), then the controls are refreshed.
    LRESULT OnWizardMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void DoDataExchange(bool saveAndValidate) override;

    FirmwareTexts& texts_;
    QLabel* mainText_;
    QLabel* stageLabel_;
    QLabel* partLabel_;
    WizardProgressBar* bar_;
};

} // namespace updater::window

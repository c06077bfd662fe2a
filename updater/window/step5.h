// Page 5 (template 137): the format and the font download, with their bar.
#pragma once

#include "updater/window/template_page.h"

namespace updater::window {

class CStep5 final : public TemplatePage {
public:
    explicit CStep5(FormatTexts& texts);

    // WM_WIZ_PROGRESS on the bar; WM_WIZ_REFRESH: UpdateData(wParam).
    LRESULT OnWizardMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void DoDataExchange(bool saveAndValidate) override;

    FormatTexts& texts_;
    QLabel* mainText_;
    WizardProgressBar* bar_;
};

} // namespace updater::window

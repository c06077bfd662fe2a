#include "updater/window/step5.h"

#include "updater/window/wizard_progress_bar.h"

#include <QLabel>

namespace updater::window {

CStep5::CStep5(FormatTexts& texts) : TemplatePage(309, 155), texts_(texts) {
    mainText_ = AddStatic(1017, 14, 14, 280, 100, QStringLiteral("Static"));
    LetGrow(mainText_, 148);
    bar_ = AddProgressBar(1018, 7, 130, 295, 10);
}

LRESULT CStep5::OnWizardMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_WIZ_PROGRESS) {
        bar_->OnProgressMessage(wParam, lParam);
    } else if (message == WM_WIZ_REFRESH) {
        UpdateData(wParam != 0);
    }
    return 0;
}

void CStep5::DoDataExchange(bool saveAndValidate) { Exchange(*mainText_, texts_.mainText, saveAndValidate); }

} // namespace updater::window

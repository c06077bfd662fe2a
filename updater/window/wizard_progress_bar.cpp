#include "updater/window/wizard_progress_bar.h"

#include <algorithm>

namespace updater::window {

WizardProgressBar::WizardProgressBar(QWidget* parent) : QProgressBar(parent) {
    setTextVisible(false);
    setRange(0, upper_);
    setValue(position_);
}

void WizardProgressBar::OnProgressMessage(WPARAM wParam, LPARAM lParam) {
    switch (wParam) {
    case ProgressHide: hide(); break;
    case ProgressShow: show(); break;
    case ProgressPosition:
        position_ = static_cast<int>(std::clamp<LPARAM>(lParam, 0, upper_));
        setValue(position_);
        break;
    case ProgressRange:
        upper_ = static_cast<int>(lParam & 0xFFFF);
        position_ = std::min(position_, upper_);
        // An empty range shows an empty bar; Qt would show it busy.
        setRange(0, std::max(upper_, 1));
        setValue(position_);
        break;
    default: break;
    }
}

} // namespace updater::window

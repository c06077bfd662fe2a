// The progress bar of pages 4 and 5 as WM_WIZ_PROGRESS drives it.
#pragma once

#include "updater/wizard/sheet.h"

#include <QProgressBar>

namespace updater::window {

class WizardProgressBar final : public QProgressBar {
public:
    explicit WizardProgressBar(QWidget* parent);

    // wParam 0 hides the bar, 1 shows it, 2 sets its position to lParam, 3
    // its range to 0 .. (lParam & 0xFFFF). Positions are clamped to the
    // range: the firmware step's counts reach 100 early or pass it.
    void OnProgressMessage(WPARAM wParam, LPARAM lParam);
    // The range's upper end as last set.
    int Upper() const { return upper_; }

private:
    int upper_ = 100;
    int position_ = 0;
};

} // namespace updater::window

// The engine's progress on the wizard's sheet: the bar, page 4's labels and
// the erase timer, with the messages the pages have always received.
#pragma once

#include "updater/engine/progress.h"
#include "updater/wizard/sheet.h"

namespace updater {

class SheetProgress final : public Progress {
public:
    explicit SheetProgress(Sheet& sheet) : sheet_(sheet) {}

    // SetUp: page 4's labels ("Initializing for Application Code") and a
    // refresh. Erase, uncounted: the erase timer on a thread of its own.
    // Program: the stage label "Upgrading" (WM_WIZ_LABEL 1). Font: the bar
    // is shown.
    void Begin(Phase phase, Pace pace) override;
    // WM_WIZ_PROGRESS 2 with the percentage.
    void Report(Phase phase, int percent) override;
    // Erase: the timer stops, and a finished erase sets the bar back to 0.
    // Format without a link: the bar's range becomes 0..0.
    void End(Phase phase, Outcome outcome) override;

private:
    Sheet& sheet_;
};

} // namespace updater

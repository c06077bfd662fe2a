// The wizard's message boxes: the dialog framework's styles and answers on
// a QMessageBox.
#pragma once

#include "updater/wizard/sheet.h"

#include <string>

class QWidget;

namespace updater::window {

// Shows the box modally and returns IDOK, IDYES or IDNO. `owner` is the
// sheet for the page logic's questions and null for a worker's box, which
// belongs to no window; a system-modal box stays above every window.
int ShowWizardMessageBox(QWidget* owner, const std::string& text, const std::string& caption, UINT style);

} // namespace updater::window

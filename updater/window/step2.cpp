#include "updater/window/step2.h"

#include <QLabel>
#include <QProgressBar>

namespace updater::window {

CStep2::CStep2(ConnectTexts& texts) : TemplatePage(309, 155), texts_(texts) {
    text_ = AddStatic(1010, 17, 17, 275, 110, {});
    LetGrow(text_, 136);
    // No template control: a busy bar, so that the page shows it is waiting.
    waiting_ = new QProgressBar(this);
    waiting_->setTextVisible(false);
    waiting_->setRange(0, 0);
    waiting_->setGeometry(Units().Rect(7, 138, 295, 10));
    waiting_->hide();
}

void CStep2::ShowWaiting(bool waiting) { waiting_->setVisible(waiting); }

void CStep2::DoDataExchange(bool saveAndValidate) { Exchange(*text_, texts_.text, saveAndValidate); }

} // namespace updater::window

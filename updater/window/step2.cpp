#include "updater/window/step2.h"

#include <QLabel>

namespace updater::window {

CStep2::CStep2(ConnectTexts& texts) : TemplatePage(309, 155), texts_(texts) {
    text_ = AddStatic(1010, 17, 17, 275, 110, {});
    LetGrow(text_, 148);
}

void CStep2::DoDataExchange(bool saveAndValidate) { Exchange(*text_, texts_.text, saveAndValidate); }

} // namespace updater::window

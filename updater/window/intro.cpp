#include "updater/window/intro.h"

#include <QLabel>

namespace updater::window {

CIntro::CIntro(IntroTexts& texts) : TemplatePage(308, 155), texts_(texts) {
    text_ = AddStatic(1010, 17, 17, 275, 110, {});
    LetGrow(text_, 138);
    AddStatic(0, 7, 140, 294, 8, QString::fromUtf8(IntroNotice));
}

void CIntro::DoDataExchange(bool saveAndValidate) { Exchange(*text_, texts_.text, saveAndValidate); }

} // namespace updater::window

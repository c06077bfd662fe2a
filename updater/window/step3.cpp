#include "updater/window/step3.h"

#include "updater/wizard/version_page.h"

#include <QLabel>

namespace updater::window {

CStep3::CStep3(VersionTexts& texts) : TemplatePage(309, 155), texts_(texts) {
    AddGroupBox(17, 86, 276, 56, QStringLiteral("Device Information"));
    AddStatic(0, 27, 105, 98, 8, QStringLiteral("Player firmware version  :"));
    versionText_ = AddStatic(1003, 145, 105, 98, 8, QStringLiteral("1.0.0.0"));
    AddStatic(0, 27, 125, 115, 8, QStringLiteral("New firmware version     :"));
    AddStatic(1004, 145, 124, 98, 8, QString::fromUtf8(CarriedVersionText));
    informationText_ = AddStatic(1005, 17, 14, 275, 65, {});
    LetGrow(informationText_, 84);
}

void CStep3::DoDataExchange(bool saveAndValidate) {
    Exchange(*versionText_, texts_.versionText, saveAndValidate);
    Exchange(*informationText_, texts_.informationText, saveAndValidate);
}

} // namespace updater::window

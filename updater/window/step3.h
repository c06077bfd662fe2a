// Page 3 (template 135): the player's running firmware next to the one the
// updater carries.
#pragma once

#include "updater/window/template_page.h"

namespace updater::window {

class CStep3 final : public TemplatePage {
public:
    explicit CStep3(VersionTexts& texts);

private:
    void DoDataExchange(bool saveAndValidate) override;

    VersionTexts& texts_;
    QLabel* versionText_;
    QLabel* informationText_;
};

} // namespace updater::window

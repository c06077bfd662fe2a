// Page 2 (template 134): how to connect the player, while it is awaited.
#pragma once

#include "updater/window/template_page.h"

namespace updater::window {

class CStep2 final : public TemplatePage {
public:
    explicit CStep2(ConnectTexts& texts);

private:
    void DoDataExchange(bool saveAndValidate) override;

    ConnectTexts& texts_;
    QLabel* text_;
};

} // namespace updater::window

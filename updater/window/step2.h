// Page 2 (template 134): how to connect the player, while it is awaited.
#pragma once

#include "updater/window/template_page.h"

class QProgressBar;

namespace updater::window {

class CStep2 final : public TemplatePage {
public:
    explicit CStep2(ConnectTexts& texts);

    // A busy bar under the text while no player is there.
    void ShowWaiting(bool waiting);

private:
    void DoDataExchange(bool saveAndValidate) override;

    ConnectTexts& texts_;
    QLabel* text_;
    QProgressBar* waiting_;
};

} // namespace updater::window

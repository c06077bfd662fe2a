// Page 1 (template 133): the welcome text and a notice at the bottom.
#pragma once

#include "updater/window/template_page.h"

#include <cstdint>

namespace updater::window {

// The one-line notice at the foot of page 1, in the language of the texts
// (a LangId; English for any other).
const char* IntroNotice(uint16_t textLanguage);

class CIntro final : public TemplatePage {
public:
    explicit CIntro(IntroTexts& texts);

private:
    void DoDataExchange(bool saveAndValidate) override;

    IntroTexts& texts_;
    QLabel* text_;
};

} // namespace updater::window

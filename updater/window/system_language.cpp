#include "updater/window/system_language.h"

#include "updater/wizard/wizard_texts.h"
#include "updater/window/frame_translation.h"
#include "updater/window/language_font.h"

namespace updater::window {

uint16_t UseSystemLanguage() {
    SelectTextLanguage();
    const uint16_t language = TextLanguageOf(GetSystemDefaultLangID());
    InstallFrameTranslation(language);
    UseLanguageFont(language);
    return language;
}

} // namespace updater::window

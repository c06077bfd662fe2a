// The face the window's texts are set in: the desktop's own for English, and
// for Korean, Japanese and Chinese the first proportional face that
// fontconfig offers for the language. A face with fixed-width Latin letters
// (the default Japanese one is) makes the templates' labels outgrow their
// boxes, which were measured for proportional text.
#pragma once

#include <QString>

#include <cstdint>

namespace updater::window {

// The family for the language of the texts (a LangId the texts come in);
// empty for English, or when fontconfig offers nothing for the language.
QString LanguageFontFamily(uint16_t textLanguage);

// Makes that family the application's font, keeping its size; nothing for
// an empty family.
void UseLanguageFont(uint16_t textLanguage);

} // namespace updater::window

// The frame around the texts in the texts' language: the buttons of the
// sheet and of its message boxes are Qt's own, translated by Qt's
// translations for the language (qtbase_ko.qm and the others).
#pragma once

#include <QString>

#include <cstdint>

namespace updater::window {

// Qt's name of the language of the texts: "ko", "ja", "zh_TW", "zh_CN";
// empty for English.
QString FrameLanguageName(uint16_t textLanguage);

// Loads Qt's translations for that language from Qt's translations folder
// and installs them in the application, once; before the sheet is made,
// which takes its button texts when it is. Returns whether they were found
// (English needs none and gives true).
bool InstallFrameTranslation(uint16_t textLanguage);

} // namespace updater::window

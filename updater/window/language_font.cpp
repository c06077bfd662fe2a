#include "updater/window/language_font.h"

#include "updater/wizard/wizard_texts.h"

#include <QApplication>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QStringList>

#include <fontconfig/fontconfig.h>

#include <memory>

namespace updater::window {

namespace {

// fontconfig's name of the language, null for English.
const char* FontconfigLanguage(uint16_t textLanguage) {
    switch (textLanguage) {
    case LangKorean: return "ko";
    case LangJapanese: return "ja";
    case LangChineseTaiwan: return "zh-tw";
    case LangChinesePrc: return "zh-cn";
    default: return nullptr;
    }
}

// The families fontconfig ranks for sans-serif text in `language`, best
// first, each covering the language wholly.
QStringList CoveringFamilies(const char* language) {
    const auto lang = reinterpret_cast<const FcChar8*>(language);
    std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)> pattern(FcPatternCreate(), FcPatternDestroy);
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    FcPatternAddString(pattern.get(), FC_LANG, lang);
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    std::unique_ptr<FcFontSet, decltype(&FcFontSetDestroy)> fonts(
        FcFontSort(nullptr, pattern.get(), FcFalse, nullptr, &result), FcFontSetDestroy);
    QStringList families;
    for (int i = 0; fonts && i < fonts->nfont; ++i) {
        FcLangSet* langs = nullptr;
        FcChar8* family = nullptr;
        if (FcPatternGetLangSet(fonts->fonts[i], FC_LANG, 0, &langs) == FcResultMatch &&
            FcLangSetHasLang(langs, lang) == FcLangEqual &&
            FcPatternGetString(fonts->fonts[i], FC_FAMILY, 0, &family) == FcResultMatch) {
            const QString name = QString::fromUtf8(reinterpret_cast<const char*>(family));
            if (!families.contains(name)) {
                families.push_back(name);
            }
        }
    }
    return families;
}

// Measured rather than taken from the face's spacing, which faces with
// fixed-width Latin letters do not always declare.
bool HasProportionalLatin(const QString& family) {
    QFont font(family);
    const QFontMetrics metrics(font);
    return QFontInfo(font).family() == family && metrics.horizontalAdvance(u'i') != metrics.horizontalAdvance(u'W');
}

} // namespace

QString LanguageFontFamily(uint16_t textLanguage) {
    const char* language = FontconfigLanguage(textLanguage);
    if (language == nullptr) {
        return {};
    }
    const QStringList families = CoveringFamilies(language);
    for (const QString& family : families) {
        if (HasProportionalLatin(family)) {
            return family;
        }
    }
    return families.isEmpty() ? QString() : families.front();
}

void UseLanguageFont(uint16_t textLanguage) {
    const QString family = LanguageFontFamily(textLanguage);
    if (family.isEmpty()) {
        return;
    }
    QFont font = QApplication::font();
    font.setFamilies({family});
    QApplication::setFont(font);
}

} // namespace updater::window

#include "updater/window/frame_translation.h"

#include "updater/wizard/wizard_texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace updater::window {

QString FrameLanguageName(uint16_t textLanguage) {
    switch (textLanguage) {
    case LangKorean: return QStringLiteral("ko");
    case LangJapanese: return QStringLiteral("ja");
    case LangChineseTaiwan: return QStringLiteral("zh_TW");
    case LangChinesePrc: return QStringLiteral("zh_CN");
    default: return {};
    }
}

bool InstallFrameTranslation(uint16_t textLanguage) {
    // One translator for the application's life; a later call replaces its
    // contents (tests switch languages).
    static QTranslator* translator = nullptr;
    if (translator != nullptr) {
        QCoreApplication::removeTranslator(translator);
    }
    const QString name = FrameLanguageName(textLanguage);
    if (name.isEmpty()) {
        return true;
    }
    if (translator == nullptr) {
        translator = new QTranslator(QCoreApplication::instance());
    }
    if (!translator->load(QStringLiteral("qtbase_") + name, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

} // namespace updater::window

#include "updater/wizard/wizard_texts.h"

#include "updater/resources/string_table.h"

#include <cstdlib>
#include <mutex>

namespace updater {

std::atomic<uint8_t> g_bUseResourceTexts{0};
WizardTextSet g_apszWizardTexts{};

namespace {

std::mutex overrideMutex;
std::optional<uint16_t> langIdOverride;

std::optional<uint16_t> CurrentOverride() {
    std::lock_guard lock(overrideMutex);
    return langIdOverride;
}

} // namespace

uint16_t LanguageIdOfLocale(const std::string& locale) {
    // "language_TERRITORY" before any ".codeset" or "@modifier".
    const std::string name = locale.substr(0, locale.find_first_of(".@"));
    struct Entry {
        const char* name;
        uint16_t langId;
    };
    static constexpr Entry Known[] = {
        {"ko_KR", LangKorean},        {"ja_JP", LangJapanese},      {"zh_TW", LangChineseTaiwan},
        {"zh_CN", LangChinesePrc},    {"zh_HK", LangChineseHongKong},
    };
    for (const auto& entry : Known) {
        if (name == entry.name) {
            return entry.langId;
        }
    }
    return LangEnglishUs;
}

uint16_t GetSystemDefaultLangID() {
    if (const auto langId = CurrentOverride()) {
        return *langId;
    }
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return LanguageIdOfLocale(value);
        }
    }
    return LangEnglishUs;
}

void SetSystemDefaultLangIdOverride(std::optional<uint16_t> langId) {
    std::lock_guard lock(overrideMutex);
    langIdOverride = langId;
}

int SelectTextLanguage() {
    g_bUseResourceTexts = 0;
    switch (GetSystemDefaultLangID()) {
    case LangChineseTaiwan: g_apszWizardTexts = TraditionalChineseTexts; break;
    case LangChinesePrc: g_apszWizardTexts = SimplifiedChineseTexts; break;
    case LangJapanese: g_apszWizardTexts = JapaneseTexts; break;
    default: g_bUseResourceTexts = 1; break;
    }
    return 1;
}

uint16_t TextLanguageOf(uint16_t systemLangId) {
    switch (systemLangId) {
    case LangKorean:
    case LangJapanese:
    case LangChineseTaiwan:
    case LangChinesePrc: return systemLangId;
    default: return LangEnglishUs;
    }
}

int LoadWizardText(std::string& out, TextId id) {
    out.clear();
    const int number = static_cast<int>(id);
    if (g_bUseResourceTexts) {
        if (const char* text = resources::LoadStringResource(number, GetSystemDefaultLangID())) {
            out = text;
        }
        return 1;
    }
    if (number >= FirstWizardText && number <= LastWizardText) {
        if (const char* text = g_apszWizardTexts[static_cast<size_t>(number - FirstWizardText)]) {
            out = text;
        }
    }
    return 1;
}

std::string WizardText(TextId id) {
    std::string text;
    LoadWizardText(text, id);
    return text;
}

} // namespace updater

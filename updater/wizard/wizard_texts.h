// The wizard's fourteen texts (110 to 123), the labels of page 4, and the
// choice of the texts' language.
#pragma once

#include "updater/wizard/builtin_text_sets.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace updater {

// The texts by their resource numbers.
enum class TextId : int {
    Welcome = 110,             // page 1
    VersionShown = 111,        // page 3, the running firmware was read
    VersionUnread = 112,       // page 3, it could not be
    ReconnectForFormat = 113,  // page 4 after the firmware step, when a format follows
    FirmwareUpdating = 114,    // page 4
    ConnectPlayer = 115,       // page 2
    AlreadyCurrent = 116,      // the question before replacing current firmware
    Formatting = 117,          // page 5
    FontDownloading = 118,     // page 5 after the format
    FirmwareFailed = 119,
    FormatFailed = 120,
    FontFailed = 121,
    AllDone = 122,
    VersionKept = 123,         // page 3 after the question was declined
};

inline constexpr int FirstWizardText = 110;
inline constexpr int LastWizardText = 123;

// Page 4's labels: the part written and the stage it is in.
inline constexpr const char* ApplicationLabel = "for Application Code";
inline constexpr const char* InitializingLabel = "Initializing";
inline constexpr const char* UpgradingLabel = "Upgrading";

// Language IDs the choice knows.
inline constexpr uint16_t LangEnglishUs = 0x0409;
inline constexpr uint16_t LangKorean = 0x0412;
inline constexpr uint16_t LangJapanese = 0x0411;
inline constexpr uint16_t LangChineseTaiwan = 0x0404;
inline constexpr uint16_t LangChinesePrc = 0x0804;
inline constexpr uint16_t LangChineseHongKong = 0x0C04;

// Texts come from the string resources (1) or from g_apszWizardTexts (0).
extern std::atomic<uint8_t> g_bUseResourceTexts;
// The chosen built-in set, index = number - 110.
extern WizardTextSet g_apszWizardTexts;

// The language ID of a POSIX locale name ("ko_KR.UTF-8", "ja_JP", "C"):
// ko_KR 0x0412, ja_JP 0x0411, zh_TW 0x0404, zh_CN 0x0804, zh_HK 0x0C04,
// anything else 0x0409.
uint16_t LanguageIdOfLocale(const std::string& locale);

// The system's default language: the override if one is set, else the
// language of the locale in LC_ALL, LC_MESSAGES or LANG, in that order.
uint16_t GetSystemDefaultLangID();
// Replaces the system's language (tests, the command line); nullopt undoes it.
void SetSystemDefaultLangIdOverride(std::optional<uint16_t> langId);

// Chooses where the texts come from: the built-in sets for 0x0404, 0x0804
// and 0x0411, the string resources (Korean or English) for anything else.
// Returns 1.
int SelectTextLanguage();

// The language the texts come in on a system of language `systemLangId`:
// Korean, Japanese, either Chinese, or English for anything else (Chinese of
// Hong Kong included).
uint16_t TextLanguageOf(uint16_t systemLangId);

// Fills `out` with text `id` (UTF-8); a number without a text gives the
// empty string. Returns 1.
int LoadWizardText(std::string& out, TextId id);
// The same, as a value.
std::string WizardText(TextId id);

} // namespace updater

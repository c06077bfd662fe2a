// The three text sets compiled into the wizard for systems whose language the
// string resources do not cover: Traditional Chinese, Simplified Chinese and
// Japanese. Each holds texts 110 to 123 (index = number - 110), UTF-8.
#pragma once

#include <array>

namespace updater {

using WizardTextSet = std::array<const char*, 14>;

extern const WizardTextSet TraditionalChineseTexts;
extern const WizardTextSet SimplifiedChineseTexts;
extern const WizardTextSet JapaneseTexts;

} // namespace updater

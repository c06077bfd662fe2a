// The wizard's texts as `qrm284 update` shows them: a terminal has no
// wizard buttons, so the sentences that ask for one say what happens instead.
#pragma once

#include "updater/wizard/wizard_texts.h"

#include <cstdint>
#include <span>
#include <string>

namespace qrm284 {

// One sentence of a wizard text that speaks of a wizard button.
struct ButtonSentence {
    updater::TextId id;
    uint16_t language;      // the language ID whose text set holds it
    const char* wizard;     // as the wizard's text has it
    const char* terminal;   // what replaces it; empty drops it
};

// Every such sentence of texts 110 to 123, in the five languages.
std::span<const ButtonSentence> ButtonSentences();

// The labels before the running and the carried version, in the language of
// the texts, padded so that the colons line up.
struct VersionLabels {
    const char* running;
    const char* carried;
};
VersionLabels VersionLabelsForLanguage();

// Text `id` in the chosen language (updater::SelectTextLanguage), with its
// button sentences replaced, without trailing line ends and spaces.
std::string TerminalText(updater::TextId id);

} // namespace qrm284

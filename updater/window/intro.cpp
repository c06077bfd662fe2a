#include "updater/window/intro.h"

#include "updater/wizard/wizard_texts.h"

#include <QLabel>

namespace updater::window {

const char* IntroNotice(uint16_t textLanguage) {
    switch (textLanguage) {
    case LangKorean: return "업데이트가 끝날 때까지 플레이어를 연결해 두십시오.";
    case LangJapanese: return "アップデートが終わるまでプレーヤーを接続したままにしてください。";
    case LangChineseTaiwan: return "更新完成之前，請保持播放器的連接。";
    case LangChinesePrc: return "更新完成之前，请保持播放器的连接。";
    default: return "Keep the player connected until the update has finished.";
    }
}

CIntro::CIntro(IntroTexts& texts) : TemplatePage(308, 155), texts_(texts) {
    text_ = AddStatic(1010, 17, 17, 275, 110, {});
    LetGrow(text_, 138);
    // Some faces need a little more than the line's 8 units.
    LetGrow(AddStatic(0, 7, 140, 294, 8, QString::fromUtf8(IntroNotice(TextLanguageOf(GetSystemDefaultLangID())))),
            155);
}

void CIntro::DoDataExchange(bool saveAndValidate) { Exchange(*text_, texts_.text, saveAndValidate); }

} // namespace updater::window

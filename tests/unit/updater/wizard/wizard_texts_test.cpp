// The wizard's texts and the choice of their language.
#include "updater/wizard/wizard_texts.h"

#include <gtest/gtest.h>
#include "tests/support/case_name.h"

#include <algorithm>
#include <cstdlib>
#include <iconv.h>
#include <string>
#include <vector>

namespace {

using updater::TextId;
using updater::WizardText;

class WizardTexts : public ::testing::Test {
protected:
    void TearDown() override {
        updater::SetSystemDefaultLangIdOverride(std::nullopt);
        updater::SelectTextLanguage();
    }
    static void Choose(uint16_t langId) {
        updater::SetSystemDefaultLangIdOverride(langId);
        updater::SelectTextLanguage();
    }
};

struct LocaleCase {
    const char* locale;
    uint16_t langId;
};

class LocaleLanguage : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleLanguage, MapsToItsLanguageId) {
    EXPECT_EQ(updater::LanguageIdOfLocale(GetParam().locale), GetParam().langId) << GetParam().locale;
}

INSTANTIATE_TEST_SUITE_P(Locales, LocaleLanguage,
                         ::testing::Values(LocaleCase{"ko_KR.UTF-8", 0x0412}, LocaleCase{"ko_KR.eucKR", 0x0412},
                                           LocaleCase{"ja_JP.UTF-8", 0x0411}, LocaleCase{"zh_TW.Big5", 0x0404},
                                           LocaleCase{"zh_CN.GB2312", 0x0804}, LocaleCase{"zh_HK.UTF-8", 0x0C04},
                                           LocaleCase{"zh_CN@stroke", 0x0804}, LocaleCase{"C", 0x0409},
                                           LocaleCase{"POSIX", 0x0409}, LocaleCase{"en_GB.UTF-8", 0x0409},
                                           LocaleCase{"ko", 0x0409}, LocaleCase{"zh_SG.UTF-8", 0x0409},
                                           LocaleCase{"", 0x0409}));

TEST_F(WizardTexts, LocaleVariablesAreReadInPosixOrder) {
    updater::SetSystemDefaultLangIdOverride(std::nullopt);
    setenv("LC_ALL", "ja_JP.UTF-8", 1);
    setenv("LC_MESSAGES", "ko_KR.UTF-8", 1);
    setenv("LANG", "zh_TW.UTF-8", 1);
    EXPECT_EQ(updater::GetSystemDefaultLangID(), 0x0411);
    unsetenv("LC_ALL");
    EXPECT_EQ(updater::GetSystemDefaultLangID(), 0x0412);
    unsetenv("LC_MESSAGES");
    EXPECT_EQ(updater::GetSystemDefaultLangID(), 0x0404);
    unsetenv("LANG");
    EXPECT_EQ(updater::GetSystemDefaultLangID(), 0x0409);
}

struct ChoiceCase {
    const char* name;
    uint16_t langId;
    bool resources;
    const char* text116;
    const char* text118;
};

class LanguageChoice : public WizardTexts, public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(LanguageChoice, PicksTheTextSource) {
    Choose(GetParam().langId);
    EXPECT_EQ(updater::g_bUseResourceTexts.load(), GetParam().resources ? 1 : 0);
    EXPECT_EQ(WizardText(TextId::AlreadyCurrent), GetParam().text116);
    EXPECT_EQ(WizardText(TextId::FontDownloading), GetParam().text118);
}

INSTANTIATE_TEST_SUITE_P(
    Languages, LanguageChoice,
    ::testing::Values(
        ChoiceCase{"English", 0x0409, true,
                   "The latest versioned firmware is already in the player.\nDo you wish to continue?",
                   "It's currently executing the font download."},
        ChoiceCase{"Korean", 0x0412, true, "플레이어에 이미 최신 버전의 펌웨어가 있습니다.\n계속하시겠습니까?",
                   "폰트를 다운로드하고 있습니다."},
        ChoiceCase{"Japanese", 0x0411, false,
                   "プレーヤーには既に最新バージョンのファームウェアが入っています。\n続行しますか？",
                   "フォントをダウンロードしています。"},
        ChoiceCase{"ChineseTaiwan", 0x0404, false, "播放器中已是最新版本的韌體。\n是否要繼續？", "正在下載字型。"},
        ChoiceCase{"ChinesePrc", 0x0804, false, "播放器中已是最新版本的固件。\n是否继续？", "正在下载字体。"},
        ChoiceCase{"ChineseHongKongGetsResources", 0x0C04, true,
                   "The latest versioned firmware is already in the player.\nDo you wish to continue?",
                   "It's currently executing the font download."},
        ChoiceCase{"GermanGetsResources", 0x0407, true,
                   "The latest versioned firmware is already in the player.\nDo you wish to continue?",
                   "It's currently executing the font download."}),
    testsupport::CaseName());

TEST_F(WizardTexts, EnglishTextsKeepTheirExactWording) {
    Choose(0x0409);
    EXPECT_EQ(WizardText(TextId::AllDone), "All the update processes have been completed.\nPress \"Finish\" button to end the program.\n");
    EXPECT_EQ(WizardText(TextId::VersionKept), "The firmware information in operation of the player is as following.");
    const std::string text113 = WizardText(TextId::ReconnectForFormat);
    EXPECT_EQ(text113.rfind("Firmware updated has been completed.\n", 0), 0u);
    EXPECT_NE(text113.find("2. \"Can't not access to the memory\" or \"format\" message"), std::string::npos);
    EXPECT_NE(text113.find("appeared on the LCD. \n4. Press the MODE"), std::string::npos);
    EXPECT_EQ(text113.substr(text113.size() - 40), "Press NEXT button to format all system.\n");
    EXPECT_NE(WizardText(TextId::ConnectPlayer).find("connecting the USB cable.  \n\nIf one firmware"), std::string::npos);
}

TEST_F(WizardTexts, NumbersOutsideTheRangeGiveEmptyText) {
    for (int langId : {0x0409, 0x0411}) {
        Choose(static_cast<uint16_t>(langId));
        EXPECT_EQ(WizardText(TextId{109}), "");
        EXPECT_EQ(WizardText(TextId{124}), "");
    }
}

// Every set is whole, its texts distinct, and each can be carried in the code
// page the system used for that language, so no character was mistyped.
struct SetCase {
    const char* name;
    uint16_t langId;
    const char* codePage;
};

class TextSets : public WizardTexts, public ::testing::WithParamInterface<SetCase> {};

TEST_P(TextSets, AreWholeDistinctAndFitTheirCodePage) {
    Choose(GetParam().langId);
    iconv_t convert = iconv_open(GetParam().codePage, "UTF-8");
    ASSERT_NE(convert, reinterpret_cast<iconv_t>(-1));
    std::vector<std::string> seen;
    for (int number = 110; number <= 123; ++number) {
        std::string text = WizardText(TextId{number});
        ASSERT_FALSE(text.empty()) << number;
        EXPECT_EQ(std::count(seen.begin(), seen.end(), text), 0) << number;
        seen.push_back(text);
        char* in = text.data();
        size_t inLeft = text.size();
        std::string out(text.size() * 2, '\0');
        char* outAt = out.data();
        size_t outLeft = out.size();
        EXPECT_NE(iconv(convert, &in, &inLeft, &outAt, &outLeft), static_cast<size_t>(-1))
            << "text " << number << " at byte " << text.size() - inLeft;
    }
    iconv_close(convert);
    // Texts that say the same in every language keep their line structure.
    EXPECT_EQ(std::count(seen[113 - 110].begin(), seen[113 - 110].end(), '\n'), 12);
    EXPECT_EQ(std::count(seen[116 - 110].begin(), seen[116 - 110].end(), '\n'), 1);
}

INSTANTIATE_TEST_SUITE_P(Sets, TextSets,
                         ::testing::Values(SetCase{"English", 0x0409, "ASCII"}, SetCase{"Korean", 0x0412, "CP949"},
                                           SetCase{"Japanese", 0x0411, "SHIFT_JIS"},
                                           SetCase{"ChineseTaiwan", 0x0404, "BIG5"},
                                           SetCase{"ChinesePrc", 0x0804, "GB2312"}),
                         testsupport::CaseName());

} // namespace

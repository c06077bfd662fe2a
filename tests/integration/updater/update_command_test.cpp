// qrm284 update in this process, against the simulated player.
#include "platform/system/clock.h"
#include "sim/bus.h"
#include "tests/support/case_name.h"
#include "tests/support/command_output.h"
#include "tools/qrm284/commands.h"
#include "tools/qrm284/update_texts.h"
#include "updater/wizard/wizard_texts.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <map>
#include <sstream>

namespace {

// Text 113's last sentence as a terminal shows it.
constexpr const char* FormatFollows = "The whole system is formatted as soon as the player is back in USB mode.";

class UpdateCommand : public ::testing::Test {
protected:
    void SetUp() override {
        kvx512sim::Bus::Instance().Reset();
        kvx512sim::Bus::Instance().RecordTranscripts(true);
        platform::SetClockHooks({[](uint32_t) {}, {}});
    }
    void TearDown() override {
        platform::SetClockHooks({});
        updater::SetSystemDefaultLangIdOverride(std::nullopt);
    }

    int Run(const std::string& arguments) {
        CLI::App app;
        int status = -1;
        qrm284::AddUpdateCommand(app, status);
        testing::internal::CaptureStdout();
        app.parse(arguments, false);
        output = testing::internal::GetCapturedStdout();
        return status;
    }

    kvx512sim::Player& Player() { return kvx512sim::Bus::Instance().GetPlayer(0); }
    static kvx512sim::Identification IdentificationWithVersion(const std::string& version) {
        kvx512sim::Identification identification;
        identification.version = version;
        return identification;
    }

    std::string output;
};

TEST_F(UpdateCommand, OldFirmwareGetsFormatAndFont) {
    ASSERT_TRUE(Player().PutFile(0, "/song.mp3", std::vector<uint8_t>(100, 1)));
    EXPECT_EQ(Run("update --yes --language 0x0409"), 0);
    EXPECT_NE(output.find("Player firmware version  : 1.43.10\nNew firmware version     : 1.43.22\n"), std::string::npos);
    EXPECT_NE(output.find("Upgrading for Application Code"), std::string::npos);
    EXPECT_NE(output.find(FormatFollows), std::string::npos);
    EXPECT_NE(output.find("All the update processes have been completed."), std::string::npos);
    EXPECT_FALSE(Player().FileData(0, "/song.mp3").has_value());
    EXPECT_EQ(Player().FontData().size(), 2093088u);
    EXPECT_EQ(Player().GetIdentification().version, "1.4322");
}

TEST_F(UpdateCommand, CurrentFirmwareAsksAndSkipsTheFormat) {
    kvx512sim::Identification identification;
    identification.version = "1.4322";
    Player().SetIdentification(identification);
    ASSERT_TRUE(Player().PutFile(0, "/song.mp3", std::vector<uint8_t>(100, 1)));
    EXPECT_EQ(Run("update --yes --language 0x0409"), 0);
    EXPECT_NE(output.find("Do you wish to continue? [y/N] yes"), std::string::npos);
    EXPECT_EQ(output.find(FormatFollows), std::string::npos);
    EXPECT_NE(output.find("All the update processes have been completed."), std::string::npos);
    EXPECT_TRUE(Player().FileData(0, "/song.mp3").has_value());
    EXPECT_TRUE(Player().FontData().empty());
}

struct ConsentCase {
    const char* name;
    const char* version;   // the player's
    const char* options;
    int status;
    const char* sentence;  // the first line on stderr
};

class UpdateConsent : public UpdateCommand, public ::testing::WithParamInterface<ConsentCase> {};

// Off a terminal nobody can say yes: without --yes nothing reaches the firmware loader.
TEST_P(UpdateConsent, OffATerminalOnlyYesLetsTheUpdateWrite) {
    const ConsentCase& c = GetParam();
    Player().SetIdentification(IdentificationWithVersion(c.version));
    ASSERT_TRUE(Player().PutFile(0, "/song.mp3", std::vector<uint8_t>(100, 1)));
    ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(Run(std::string("update --language en") + c.options), c.status);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(errors.substr(0, errors.find('\n') + 1), std::string("qrm284: ") + c.sentence + "\n") << errors;
    bool loaderAsked = false;
    for (const auto& block : Player().GetTranscript().Writes()) {
        loaderAsked = loaderAsked || (block.size() > 4 && block[0] == 0x23 && (block[4] == 'G' || block[4] == 'C'));
    }
    EXPECT_EQ(loaderAsked, c.status == 0);
    EXPECT_EQ(Player().FileData(0, "/song.mp3").has_value(), c.status != 0 || std::string(c.version) >= "1.4315");
}

INSTANTIATE_TEST_SUITE_P(
    Questions, UpdateConsent,
    ::testing::Values(
        ConsentCase{"FormatWithoutYes", "1.4310", "", qrm284::ExitUsage,
                    "Updating formats the player: the 1 file on it will be erased."},
        ConsentCase{"FormatWithYes", "1.4310", " --yes", 0,
                    "Updating formats the player: the 1 file on it will be erased."},
        ConsentCase{"AlreadyCurrentWithoutYes", "1.4322", "", qrm284::ExitUsage,
                    "The player runs this firmware already; add --yes to write it again from a script."}),
    testsupport::CaseName());

TEST_F(UpdateCommand, DryRunStopsAfterTheVersions) {
    EXPECT_EQ(Run("update --dry-run --language 0x0411"), 0);
    EXPECT_NE(output.find("プレーヤーで動作中のファームウェア情報は次のとおりです。"), std::string::npos);
    EXPECT_TRUE(output.ends_with("プレーヤーのファームウェア バージョン : 1.43.10\n"
                                 "新しいファームウェア バージョン       : 1.43.22\n"))
        << output;
    EXPECT_EQ(Player().Firmware().AnnouncedBlocks(), 0) << "nothing written";
}

TEST_F(UpdateCommand, FailedStepEndsWithItsTextAndFailure) {
    kvx512sim::FirmwareSettings settings;
    settings.confirmProgram = true;
    settings.busyRepliesAfterProgram = 2000;
    Player().SetFirmwareSettings(settings);
    testing::internal::CaptureStderr();
    EXPECT_EQ(Run("update --yes --language 0x0409"), qrm284::ExitFailure);
    const std::string errors = testing::internal::GetCapturedStderr();
    // After the warning that the format erases the player's files, the failing step's text.
    EXPECT_EQ(errors.rfind("qrm284: Updating formats the player: the 0 files on it will be erased.\n"
                           "qrm284: An error occurred while updating the firmware.",
                           0),
              0u)
        << errors;
}

TEST_F(UpdateCommand, JsonGivesTextsVersionsAndPhasesWithTheirProgress) {
    ASSERT_EQ(Run("update --yes --json --language 0x0409"), 0);
    const std::vector<nlohmann::json> lines = testsupport::JsonLines(output);
    ASSERT_FALSE(lines.empty());
    std::vector<int> texts;
    std::vector<std::string> phases;
    std::map<std::string, int> lastPercent;
    for (const auto& line : lines) {
        const std::string event = line.at("event");
        if (event == "text") {
            texts.push_back(line.at("id"));
        } else if (event == "versions") {
            EXPECT_EQ(line.at("running"), "1.43.10");
            EXPECT_EQ(line.at("carried"), "1.43.22");
        } else if (event == "phase") {
            phases.push_back(line.at("phase"));
        } else if (event == "phase-end") {
            EXPECT_EQ(line.at("outcome"), "done") << line.dump();
        } else if (event == "progress") {
            EXPECT_EQ(line.at("command"), "update");
            EXPECT_EQ(line.at("unit"), "percent");
            ASSERT_FALSE(phases.empty()) << "progress before any phase";
            EXPECT_EQ(line.at("item"), phases.back());
            lastPercent[line.at("item")] = line.at("done");
        }
    }
    EXPECT_EQ(texts, (std::vector<int>{110, 115, 111, 114, 113, 117, 118, 122}));
    EXPECT_EQ(phases, (std::vector<std::string>{"set-up", "erase", "program", "format", "font"}));
    const std::map<std::string, int> whole{{"erase", 100}, {"program", 100}, {"format", 100}, {"font", 100}};
    EXPECT_EQ(lastPercent, whole) << "the counted phases, each to its end";
    EXPECT_EQ(lines.back(), (nlohmann::json{{"event", "result"}, {"command", "update"}, {"status", 0}}));
}

struct TextLanguage {
    const char* name;
    uint16_t langId;
    const char* option;   // --language as a person writes it
};

class TerminalTexts : public UpdateCommand, public ::testing::WithParamInterface<TextLanguage> {};

TEST_P(TerminalTexts, SayWhatHappensInsteadOfWhichWizardButtonToPress) {
    ASSERT_EQ(Run(std::string("update --yes --language ") + GetParam().option), 0);
    // Each button sentence stood in the wizard's text, and its replacement was shown.
    updater::SelectTextLanguage();
    int sentences = 0;
    for (const qrm284::ButtonSentence& sentence : qrm284::ButtonSentences()) {
        if (sentence.language == GetParam().langId) {
            ++sentences;
            EXPECT_NE(updater::WizardText(sentence.id).find(sentence.wizard), std::string::npos) << sentence.wizard;
            EXPECT_NE(output.find(sentence.terminal), std::string::npos) << sentence.terminal;
        }
    }
    EXPECT_EQ(sentences, 5);
    // The player's own MODE button stays; no other button is left.
    std::string shown = output;
    for (const std::string mode : {"MODE button", "MODE 버튼", "MODE ボタン", "MODE 按鈕", "MODE 按钮"}) {
        for (auto at = shown.find(mode); at != std::string::npos; at = shown.find(mode)) {
            shown.erase(at, mode.size());
        }
    }
    for (const char* word : {"button", "NEXT", "Finish", "CANCEL", "버튼", "ボタン", "按鈕", "按钮"}) {
        EXPECT_EQ(shown.find(word), std::string::npos) << word << " in\n" << output;
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, TerminalTexts,
                         ::testing::Values(TextLanguage{"English", updater::LangEnglishUs, "en"},
                                           TextLanguage{"Korean", updater::LangKorean, "0x0412"},
                                           TextLanguage{"Japanese", updater::LangJapanese, "ja"},
                                           TextLanguage{"TraditionalChinese", updater::LangChineseTaiwan, "zh-TW"},
                                           TextLanguage{"SimplifiedChinese", updater::LangChinesePrc, "ZH-cn"}),
                         testsupport::CaseName());

struct LanguageCase {
    const char* name;
    const char* value;
};

class LanguageOption : public UpdateCommand, public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(LanguageOption, RejectsWhatIsNoLanguageIdBeforeAnythingElse) {
    Player().ClearTranscript();
    testing::internal::CaptureStderr();
    EXPECT_EQ(Run(std::string("update --dry-run --language=") + GetParam().value), qrm284::ExitFailure);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "qrm284: The language must be en, ko, ja, zh-TW, zh-CN or a language ID from 0x0000 to 0xFFFF, such as "
              "0x0411.\n");
    EXPECT_EQ(output, "");
    EXPECT_TRUE(Player().GetTranscript().Entries().empty()) << "the player was not asked";
}

INSTANTIATE_TEST_SUITE_P(Values, LanguageOption,
                         ::testing::Values(LanguageCase{"NoHexDigits", "0xZZ"}, LanguageCase{"HexTooLarge", "0x10412"},
                                           LanguageCase{"DecimalTooLarge", "66578"}, LanguageCase{"Negative", "-1"},
                                           LanguageCase{"TrailingText", "0x0411ja"}, LanguageCase{"PrefixOnly", "0x"},
                                           LanguageCase{"RegionOnly", "TW"}),
                         testsupport::CaseName());

} // namespace

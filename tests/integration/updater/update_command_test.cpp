// qrm284 update in this process, against the simulated player.
#include "platform/system/clock.h"
#include "sim/bus.h"
#include "tests/support/case_name.h"
#include "tools/qrm284/commands.h"
#include "updater/wizard/wizard_texts.h"

#include <gtest/gtest.h>

namespace {

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

    std::string output;
};

TEST_F(UpdateCommand, OldFirmwareGetsFormatAndFont) {
    ASSERT_TRUE(Player().PutFile(0, "/song.mp3", std::vector<uint8_t>(100, 1)));
    EXPECT_EQ(Run("update --yes --language 0x0409"), 0);
    EXPECT_NE(output.find("Player firmware version  : 1.43.10\nNew firmware version     : 1.43.22\n"), std::string::npos);
    EXPECT_NE(output.find("Upgrading for Application Code"), std::string::npos);
    EXPECT_NE(output.find("Press NEXT button to format all system."), std::string::npos);
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
    EXPECT_EQ(output.find("Press NEXT button to format all system."), std::string::npos);
    EXPECT_NE(output.find("All the update processes have been completed."), std::string::npos);
    EXPECT_TRUE(Player().FileData(0, "/song.mp3").has_value());
    EXPECT_TRUE(Player().FontData().empty());
}

TEST_F(UpdateCommand, DryRunStopsAfterTheVersions) {
    EXPECT_EQ(Run("update --dry-run --language 0x0411"), 0);
    EXPECT_NE(output.find("プレーヤーで動作中のファームウェア情報は次のとおりです。"), std::string::npos);
    EXPECT_TRUE(output.ends_with("Player firmware version  : 1.43.10\nNew firmware version     : 1.43.22\n")) << output;
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
    EXPECT_EQ(errors.rfind("qrm284: An error occurred while updating the firmware.", 0), 0u) << errors;
}

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
              "qrm284: The language must be a language ID from 0x0000 to 0xFFFF, such as 0x0411.\n");
    EXPECT_EQ(output, "");
    EXPECT_TRUE(Player().GetTranscript().Entries().empty()) << "the player was not asked";
}

INSTANTIATE_TEST_SUITE_P(Values, LanguageOption,
                         ::testing::Values(LanguageCase{"NoHexDigits", "0xZZ"}, LanguageCase{"HexTooLarge", "0x10412"},
                                           LanguageCase{"DecimalTooLarge", "66578"}, LanguageCase{"Negative", "-1"},
                                           LanguageCase{"TrailingText", "0x0411ja"}, LanguageCase{"PrefixOnly", "0x"}),
                         testsupport::CaseName());

} // namespace

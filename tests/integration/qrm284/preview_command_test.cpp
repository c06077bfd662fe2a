// preview in this process: what it shows must be what put then gives the
// simulated player, and working it out must not reach the player at all.
#include "sim/bus.h"
#include "tests/support/case_name.h"
#include "tests/support/command_line.h"
#include "tests/support/command_output.h"
#include "tests/support/stepped_bytes.h"
#include "tools/qrm284/commands.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <png.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr size_t TrailerBytes = 2080;
constexpr size_t PictureBytes = 2048;

using testsupport::SteppedBytes;

std::vector<uint8_t> DataFile(const std::string& name) { return testsupport::ReadFile(TEST_DATA_DIR "/" + name); }

// The stored title picture: two bands of 8 rows, a byte per column, bit k row k of its band.
bool StoredLit(const std::vector<uint8_t>& picture, int column, int row) {
    return ((picture[static_cast<size_t>((row / 8) * 1024 + column)] >> (row % 8)) & 1) != 0;
}

// A grey PNG: its size and pixels, none when it cannot be read.
struct Png {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

std::optional<Png> ReadPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
        return std::nullopt;
    }
    image.format = PNG_FORMAT_GRAY;
    Png png{static_cast<int>(image.width), static_cast<int>(image.height),
            std::vector<uint8_t>(PNG_IMAGE_SIZE(image))};
    if (png_image_finish_read(&image, nullptr, png.pixels.data(), 0, nullptr) == 0) {
        return std::nullopt;
    }
    return png;
}

class Preview : public ::testing::Test {
protected:
    void SetUp() override {
        kvx512sim::Bus::Instance().Reset();
        kvx512sim::Bus::Instance().RecordTranscripts(true);
        Player().RecordTranscript(true);
    }
    kvx512sim::Player& Player() { return kvx512sim::Bus::Instance().GetPlayer(0); }

    // With `errors`, standard error is captured into error_.
    int Run(const std::string& commandLine, bool errors = false) {
        return testsupport::RunCommandLine(
            commandLine,
            [](CLI::App& app, int& status) {
                qrm284::AddPreviewCommand(app, status);
                qrm284::AddPutCommand(app, status);
            },
            output_, errors ? &error_ : nullptr);
    }
    std::vector<nlohmann::json> JsonLines() const { return testsupport::JsonLines(output_); }

    testsupport::ScratchFolder scratch_{"qrm284_preview_" + testsupport::CurrentTestName()};
    std::string output_;
    std::string error_;
};

struct FileCase {
    const char* name;
    friend void PrintTo(const FileCase& c, std::ostream* out) { *out << c.name; }
    std::string file;
    std::vector<uint8_t> bytes;
    std::string title;   // the text the title picture shows
};

class PreviewThenPut : public Preview, public ::testing::WithParamInterface<FileCase> {};

TEST_P(PreviewThenPut, ShowsTheNameSizeAndPictureThePlayerThenStores) {
    const FileCase& c = GetParam();
    ASSERT_FALSE(c.bytes.empty());
    testsupport::WriteFile(c.file, c.bytes);
    ASSERT_EQ(Run("preview --json --png title.png \"" + c.file + "\""), 0) << output_;
    EXPECT_TRUE(Player().GetTranscript().Entries().empty()) << "preview reached the player";
    const auto lines = JsonLines();
    ASSERT_EQ(lines.size(), 2u) << output_;
    EXPECT_EQ(lines[1], nlohmann::json({{"event", "result"}, {"command", "preview"}, {"status", 0}}));
    const nlohmann::json& shown = lines[0];
    EXPECT_EQ(shown.at("event"), "preview");
    EXPECT_EQ(shown.at("titleText"), c.title);
    EXPECT_EQ(shown.at("png"), "title.png");

    ASSERT_EQ(Run("put \"" + c.file + "\""), 0) << output_;
    std::optional<kvx512sim::DirectoryItem> stored;
    for (const auto& item : Player().ListFolder(0, "/")) {
        if (!item.longName.empty()) {
            stored = item;
        }
    }
    ASSERT_TRUE(stored.has_value());
    std::string shortName = stored->shortName.substr(0, stored->shortName.find_last_not_of(' ', 7) + 1);
    if (stored->shortName.substr(8) != "   ") {
        shortName += "." + stored->shortName.substr(8, stored->shortName.find_last_not_of(' ') - 7);
    }
    EXPECT_EQ(shown.at("shortName"), shortName);
    EXPECT_EQ(shown.at("announcedSize"), stored->size);
    const auto data = Player().FileData(0, "/" + shortName);
    ASSERT_TRUE(data.has_value());
    ASSERT_EQ(data->size(), stored->size);
    ASSERT_GE(data->size(), TrailerBytes);

    // The trailer's header: text length at 11, drawn width at 26, little-endian.
    const std::vector<uint8_t> picture(data->end() - TrailerBytes, data->end() - TrailerBytes + PictureBytes);
    const auto header = data->end() - (TrailerBytes - PictureBytes);
    EXPECT_EQ(header[11] | header[12] << 8, static_cast<int>(c.title.size()));
    const int width = header[26] | header[27] << 8 | header[28] << 16 | header[29] << 24;
    EXPECT_EQ(shown.at("pictureWidth"), width);
    EXPECT_EQ(shown.at("pictureHeight"), 16);

    const auto png = ReadPng("title.png");
    ASSERT_TRUE(png.has_value());
    ASSERT_EQ(png->width, width);
    ASSERT_EQ(png->height, 16);
    int differing = 0;
    for (int row = 0; row < 16; ++row) {
        for (int column = 0; column < width; ++column) {
            const bool dark = png->pixels[static_cast<size_t>(row * width + column)] == 0;
            differing += dark != StoredLit(picture, column, row) ? 1 : 0;
        }
    }
    EXPECT_EQ(differing, 0) << "the PNG is not the picture the player stored";
}

INSTANTIATE_TEST_SUITE_P(
    Files, PreviewThenPut,
    ::testing::Values(FileCase{"Id3v1Title", "titled.mp3", DataFile("titled.mp3"), "Intro[Band]"},
                      FileCase{"UntaggedMp3", "untagged.mp3", SteppedBytes(40000, 9), "untagged.mp3"},
                      FileCase{"AsfTitle", "titled.wma", DataFile("titled.wma"), "Morning[Quartet]   "},
                      // Repacked into the player's form, so its title is the name it is stored under.
                      FileCase{"VoiceWavWithFact", "memo.wav", DataFile("voice_with_fact_chunk.wav"), "memo.ADP"},
                      FileCase{"LongNameShortened", "A Rather Long Song Name.mp3", SteppedBytes(5000, 4),
                               "A Rather Long Song Name.mp3"}),
    testsupport::CaseName());

struct RefusedCase {
    const char* name;
    friend void PrintTo(const RefusedCase& c, std::ostream* out) { *out << c.name; }
    std::string file;
    std::optional<std::vector<uint8_t>> bytes;   // none: the file does not exist
};

class PreviewRefuses : public Preview, public ::testing::WithParamInterface<RefusedCase> {};

// A usage error, as put gives, with nothing shown or drawn.
TEST_P(PreviewRefuses, WithAUsageErrorAndNoPicture) {
    if (GetParam().bytes) {
        testsupport::WriteFile(GetParam().file, *GetParam().bytes);
    }
    EXPECT_EQ(Run("preview --json --png title.png " + GetParam().file, true), qrm284::ExitUsage);
    const std::string message = error_;
    if (GetParam().bytes) {   // a missing file is the command line's parse error
        EXPECT_NE(message.find(GetParam().file), std::string::npos) << message;
    }
    const auto lines = JsonLines();
    if (GetParam().bytes) {
        const nlohmann::json result{{"event", "result"}, {"command", "preview"}, {"status", qrm284::ExitUsage}};
        EXPECT_EQ(lines, std::vector<nlohmann::json>{result}) << output_;
    } else {
        EXPECT_TRUE(lines.empty()) << output_;
    }
    EXPECT_FALSE(fs::exists("title.png"));
    EXPECT_TRUE(Player().GetTranscript().Entries().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, PreviewRefuses,
    ::testing::Values(RefusedCase{"Flac", "song.flac", SteppedBytes(300, 1)},
                      RefusedCase{"WavNotRiff", "noise.wav", SteppedBytes(300, 1)},
                      RefusedCase{"Missing", "none.mp3", std::nullopt}),
    testsupport::CaseName());

struct LocaleCase {
    const char* name;
    friend void PrintTo(const LocaleCase& c, std::ostream* out) { *out << c.name; }
    const char* locale;
    int rowsPerLine;
};

class TerminalPicture : public Preview, public ::testing::WithParamInterface<LocaleCase> {
protected:
    void TearDown() override {
        unsetenv("LC_ALL");
        Preview::TearDown();
    }
};

// The picture on the terminal is the PNG's, in half blocks or '#'.
TEST_P(TerminalPicture, DrawsThePngsPixels) {
    ASSERT_EQ(setenv("LC_ALL", GetParam().locale, 1), 0);
    testsupport::WriteFile("titled.mp3", DataFile("titled.mp3"));
    ASSERT_EQ(Run("preview --png title.png titled.mp3"), 0);
    const auto png = ReadPng("title.png");
    ASSERT_TRUE(png.has_value());
    std::istringstream stream(output_);
    std::string line;
    ASSERT_TRUE(std::getline(stream, line));
    EXPECT_EQ(line, "titled.mp3 -> TITLED.MP3, " + std::to_string(41077 + TrailerBytes) + " bytes announced");
    ASSERT_TRUE(std::getline(stream, line));
    EXPECT_EQ(line, "title \"Intro[Band]\", " + std::to_string(png->width) + " x 16 pixels, written to title.png");
    std::vector<std::vector<bool>> drawn(16, std::vector<bool>(static_cast<size_t>(png->width), false));
    int row = 0;
    for (; std::getline(stream, line); row += GetParam().rowsPerLine) {
        ASSERT_LT(row, 16) << output_;
        size_t column = 0;
        for (size_t at = 0; at < line.size(); ++column) {
            ASSERT_LT(column, drawn[0].size());
            if (line.compare(at, 3, "\u2588") == 0 || line.compare(at, 3, "\u2580") == 0 ||
                line.compare(at, 3, "\u2584") == 0) {
                drawn[static_cast<size_t>(row)][column] = line[at + 2] != '\x84';
                drawn[static_cast<size_t>(row) + 1][column] = line[at + 2] != '\x80';
                at += 3;
                continue;
            }
            ASSERT_TRUE(line[at] == ' ' || (line[at] == '#' && GetParam().rowsPerLine == 1)) << line;
            drawn[static_cast<size_t>(row)][column] = line[at] == '#';
            ++at;
        }
    }
    EXPECT_EQ(row, 16);
    int differing = 0;
    for (size_t y = 0; y < 16; ++y) {
        for (size_t x = 0; x < drawn[y].size(); ++x) {
            differing += drawn[y][x] != (png->pixels[y * drawn[y].size() + x] == 0) ? 1 : 0;
        }
    }
    EXPECT_EQ(differing, 0) << output_;
}

INSTANTIATE_TEST_SUITE_P(Locales, TerminalPicture,
                         ::testing::Values(LocaleCase{"Utf8", "C.UTF-8", 2}, LocaleCase{"Ascii", "C", 1}),
                         testsupport::CaseName());

} // namespace

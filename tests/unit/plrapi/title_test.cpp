// The title trailer: which text it shows, what its header says, and the
// picture drawn for it in a pinned face. Each drawing is also written as a
// PNG file for people to look at.
#include "platform/text/code_page.h"
#include "platform/text/text_rendering.h"
#include "plrapi/title_picture.h"
#include "plrapi/title_text.h"
#include "plrapi/title_trailer.h"
#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> DataFile(const std::string& name) {
    std::ifstream in(std::string(TEST_DATA_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct TextCase {
    const char* name;
    std::string longName;
    std::vector<uint8_t> file;   // whose first and last 128 bytes and head the upload kept
    std::string title;
    friend void PrintTo(const TextCase& c, std::ostream* out) { *out << c.name; }
};

class TitleText : public ::testing::TestWithParam<TextCase> {};

TEST_P(TitleText, ComesFromTheTagsOrTheName) {
    const auto& c = GetParam();
    std::vector<uint8_t> head(128, 0);
    std::vector<uint8_t> tail(128, 0);
    std::copy_n(c.file.begin(), std::min<size_t>(128, c.file.size()), head.begin());
    if (c.file.size() >= 128) {
        std::copy(c.file.end() - 128, c.file.end(), tail.begin());
    }
    const size_t captured = std::min<size_t>(c.file.size(), 16384);
    EXPECT_EQ(plrapi::ChooseTitleText({c.longName, head.data(), tail.data(), c.file.data(), captured}), c.title);
}

// An ASF header whose content description holds the given title and author
// lengths (UTF-16 bytes) and texts.
std::vector<uint8_t> Asf(uint16_t titleLength, uint16_t authorLength, const std::u16string& texts,
                         uint32_t firstObjectSize = 0) {
    std::vector<uint8_t> bytes(30, 0);
    bytes[24] = firstObjectSize != 0 ? 2 : 1;
    if (firstObjectSize != 0) {
        std::vector<uint8_t> other(24, 0xAB);
        for (int i = 0; i < 4; ++i) {
            other[16 + i] = static_cast<uint8_t>(firstObjectSize >> (8 * i));
        }
        bytes.insert(bytes.end(), other.begin(), other.end());
    }
    const std::vector<uint8_t> guid{0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                    0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    bytes.insert(bytes.end(), guid.begin(), guid.end());
    const size_t size = 34 + texts.size() * 2;
    for (int i = 0; i < 8; ++i) {
        bytes.push_back(static_cast<uint8_t>(i < 4 ? size >> (8 * i) : 0));
    }
    for (const uint16_t length : {titleLength, authorLength, uint16_t{0}, uint16_t{0}, uint16_t{0}}) {
        bytes.push_back(static_cast<uint8_t>(length));
        bytes.push_back(static_cast<uint8_t>(length >> 8));
    }
    for (const char16_t unit : texts) {
        bytes.push_back(static_cast<uint8_t>(unit));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return bytes;
}

std::vector<uint8_t> Id3v1Only(const std::string& title, const std::string& artist) {
    std::vector<uint8_t> tag(128, 0);
    std::copy_n("TAG", 3, tag.begin());
    std::copy(title.begin(), title.end(), tag.begin() + 3);
    std::copy(artist.begin(), artist.end(), tag.begin() + 33);
    return tag;
}

const std::u16string longTitle(300, u'T');

INSTANTIATE_TEST_SUITE_P(
    Sources, TitleText,
    ::testing::Values(
        TextCase{"Id3v1AtTheEndOfAnMp3", "titled.mp3", DataFile("titled.mp3"), "Intro[Band]"},
        TextCase{"Id3v1TitleOnlyPaddedWithSpaces", "a.MP3", Id3v1Only("Solo   ", ""), "Solo"},
        TextCase{"Mp3WithoutTag", "plain song.mp3", std::vector<uint8_t>(4000, 0x55), "plain song.mp3"},
        TextCase{"AsfOfAWma", "titled.wma", DataFile("titled.wma"), "Morning[Quartet]   "},
        TextCase{"AsfTitleOnly", "t.wma", Asf(8, 0, u"Dawn"), "Dawn   "},
        TextCase{"AsfLongTitleCut", "t.wma", Asf(600, 4, longTitle + u"Ab"),
                 std::string(119, 'T') + "[Ab]"},
        TextCase{"AsfTitleBeyondTheBytes", "t.wma", Asf(200, 0, u"Dawn"), "t.wma"},
        TextCase{"AsfObjectOfNoSize", "t.wma", Asf(8, 0, u"Dawn", 0x10), "t.wma"},
        TextCase{"NoDotNoSearch", "titled", DataFile("titled.mp3"), "titled"}),
    testsupport::CaseName());

TEST(TitleHeader, DescribesThePictureAndSumsItsBytes) {
    const auto header = plrapi::BuildTitleHeader(11, 300);
    const std::vector<uint8_t> expected{'P', 'L', 'B', 'M', 'P', 0, 8, 0, 0, 0, 0, 11, 0, 1, 16, 16,
                                        0,   0,   0,   0,   0,   0, 0, 0, 0, 0, 0x2C, 1, 0, 0};
    ASSERT_TRUE(std::equal(expected.begin(), expected.end(), header.begin()));
    // The sum of the 30 bytes above, little-endian.
    EXPECT_EQ(header[30], 0xDC);
    EXPECT_EQ(header[31], 0x01);
}

struct PictureCase {
    const char* name;
    std::string text;      // UTF-8
    int minWidth;          // the width the drawing takes at least
    const char* picture;   // PNG file written for review, or empty
    friend void PrintTo(const PictureCase& c, std::ostream* out) { *out << c.name; }
};

class TitlePicture : public ::testing::TestWithParam<PictureCase> {
protected:
    // A face from a Debian package, so the drawings do not depend on the machine.
    void SetUp() override {
        setenv(platform::TextFaceVariable, "WenQuanYi Micro Hei", 1);
        platform::SetCodePage("UTF-8");
        ASSERT_EQ(platform::BoldFont(16).FamilyName(), "WenQuanYi Micro Hei") << "install fonts-wqy-microhei";
    }
    void TearDown() override {
        unsetenv(platform::TextFaceVariable);
        platform::SetCodePage("");
    }
};

TEST_P(TitlePicture, LightsPixelsOnlyWithinItsWidth) {
    const auto& c = GetParam();
    const auto trailer = plrapi::BuildTitleTrailer(c.text);
    plrapi::TitleBitmap bitmap;
    std::copy_n(trailer.begin(), bitmap.size(), bitmap.begin());
    const uint8_t* header = trailer.data() + plrapi::TitleBitmapSize;
    const int width = header[26] | header[27] << 8;
    EXPECT_EQ(header[11] | header[12] << 8, static_cast<int>(c.text.size()));
    EXPECT_GE(width, c.minWidth);
    EXPECT_LE(width, 1024);

    int lit = 0;
    int litBeyond = 0;
    int rightmost = -1;
    for (int column = 0; column < plrapi::TitleColumns; ++column) {
        for (int row = 0; row < plrapi::TitleRows; ++row) {
            if (plrapi::IsLit(bitmap, column, row)) {
                ++lit;
                litBeyond += column >= width ? 1 : 0;
                rightmost = column;
            }
        }
    }
    EXPECT_EQ(litBeyond, 0);
    EXPECT_EQ(lit == 0, c.text.empty());
    // Every character leaves ink: at least a few pixels a character.
    if (!c.text.empty() && width < 1024) {
        EXPECT_GT(lit, 8 * static_cast<int>(platform::MultiByteToWide(c.text.data(), c.text.size()).size()));
    }
    if (width == 1024) {
        EXPECT_GT(rightmost, 1000) << "cut at the right edge";
    }
    if (*c.picture != '\0') {
        const int columns = std::min(width + 16, plrapi::TitleColumns);
        EXPECT_TRUE(plrapi::WriteTitlePicture(std::string(TITLE_PICTURE_DIR) + "/" + c.picture, bitmap, 2, columns));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TitlePicture,
    ::testing::Values(PictureCase{"Empty", "", 0, ""},
                      PictureCase{"Latin", "Intro[Band] - Morning Song", 150, "title_latin.png"},
                      PictureCase{"Korean",
                                  "\xEC\x95\x84\xEB\xA6\xAC\xEB\x9E\x91 [\xEB\xAF\xBC\xEC\x9A\x94] Arirang", 120,
                                  "title_korean.png"},
                      PictureCase{"Japanese", "\xE3\x81\x95\xE3\x81\x8F\xE3\x82\x89 \xE6\xAD\x8C", 60, ""},
                      PictureCase{"Chinese",
                                  "\xE6\x9C\x88\xE4\xBA\xAE\xE4\xBB\xA3\xE8\xA1\xA8"
                                  "\xE6\x88\x91\xE7\x9A\x84\xE5\xBF\x83",
                                  90, ""},
                      PictureCase{"WiderThanThePicture", std::string(90, 'W') + " and more", 1024, "title_wide.png"}),
    testsupport::CaseName());

} // namespace

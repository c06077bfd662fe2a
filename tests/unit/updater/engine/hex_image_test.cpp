// Converting Intel HEX text into the flat image.
#include "updater/engine/hex_image.h"
#include "platform/system/temporary_file.h"
#include "updater/resources/embedded_resources.h"

#include <gtest/gtest.h>
#include "tests/support/case_name.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

class HexImage : public ::testing::Test {
protected:
    void TearDown() override {
        std::remove(hexPath.c_str());
        std::remove(flatPath.c_str());
    }

    bool Convert(const std::string& text, uint32_t base = 0x2000) {
        platform::WriteWholeFile(hexPath, text.data(), text.size());
        return updater::ConvertHexImage(hexPath, flatPath, base);
    }

    Bytes Flat() const {
        std::ifstream in(flatPath, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    std::string hexPath = platform::CreateTemporaryFile("$512Bhex");
    std::string flatPath = platform::CreateTemporaryFile("$512Bbin");
};

TEST_F(HexImage, CarriedImageHasTheShippedShape) {
    const auto text = updater::resources::FindResource(updater::resources::FirmwareHexResource);
    ASSERT_GT(text.size(), 1000000u);
    ASSERT_TRUE(Convert(std::string(text.begin(), text.end())));
    const Bytes flat = Flat();
    ASSERT_EQ(flat.size(), 432326u);
    EXPECT_EQ((flat.size() + 511) / 512, 845u);
    EXPECT_EQ(flat.size() % 512, 198u);
    EXPECT_EQ(flat[0x69516], 0);
    EXPECT_EQ(flat[0x69517], 0);
    // The records around the hole carry data.
    EXPECT_NE(Bytes(flat.begin() + 0x69500, flat.begin() + 0x69516), Bytes(0x16, 0));
    EXPECT_NE(Bytes(flat.begin() + 0x69518, flat.begin() + 0x69540), Bytes(0x28, 0));
}

struct ConversionCase {
    const char* name;
    const char* text;
    Bytes flat;
};

class Conversion : public HexImage, public ::testing::WithParamInterface<ConversionCase> {};

TEST_P(Conversion, GivesTheFlatImage) {
    ASSERT_TRUE(Convert(GetParam().text));
    EXPECT_EQ(Flat(), GetParam().flat);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Conversion,
    ::testing::Values(
        ConversionCase{"FirstCharacterNotAColon", "x:0220000011227B\r\n:00000001FF\r\n", {}},
        ConversionCase{"RecordAcrossTheBase", ":041FFE0011223344E8\r\n:00000001FF\r\n", {0x33, 0x44}},
        ConversionCase{"RecordBelowTheBase", ":021FF00011223B\r\n:00000001FF\r\n", {}},
        ConversionCase{"GapBecomesZeros", ":0120000011CE\r\n:0120030022BA\r\n:00000001FF\r\n", {0x11, 0, 0, 0x22}},
        ConversionCase{"EmptyRecordAboveTheEndExtends", ":0120000011CE\r\n:00200400DC\r\n:00000001FF\r\n",
                       {0x11, 0, 0, 0}},
        ConversionCase{"EmptyRecordAtTheBaseChangesNothing", ":00200000E0\r\n:00000001FF\r\n", {}},
        ConversionCase{"LaterRecordOverwritesEarlier", ":03200000112233D5\r\n:012001009947\r\n:00000001FF\r\n",
                       {0x11, 0x99, 0x33}},
        ConversionCase{"OutOfOrderRecords", ":0120020022BB\r\n:0120000011CE\r\n:00000001FF\r\n", {0x11, 0, 0x22}},
        ConversionCase{"ExtendedAddressBackAndForth",
                       ":020000040001F9\r\n:0100000055AA\r\n:020000040000FA\r\n:0120000011CE\r\n:00000001FF\r\n",
                       [] {
                           Bytes flat(0x10000 - 0x2000 + 1, 0);
                           flat[0] = 0x11;
                           flat.back() = 0x55;
                           return flat;
                       }()},
        // The upper address is its data shifted by 16 plus its own address field.
        ConversionCase{"ExtendedAddressAddsItsAddressField", ":020100040000F9\r\n:0120000011CE\r\n:00000001FF\r\n",
                       [] {
                           Bytes flat(0x101, 0);
                           flat.back() = 0x11;
                           return flat;
                       }()},
        ConversionCase{"NothingAfterTheEndOfFileIsRead",
                       ":0120000011CE\r\n:00000001FF\r\n:0120010022BC\r\n\r\n# banner\r\n", {0x11}},
        ConversionCase{"BlankLineEndsTheText", ":0120000011CE\r\n\r\n:0120010022BC\r\n:00000001FF\r\n", {0x11}},
        ConversionCase{"UnknownRecordTypeIsReadPast", ":0200000212345678\r\n:0120000011CE\r\n:00000001FF\r\n",
                       {0x11}},
        ConversionCase{"RecordCutShortEndsTheText", ":0120000011CE\r\n:0420010022", {0x11}},
        ConversionCase{"LineEndsWithoutCarriageReturn", ":0120000011CE\n:0120010022BC\n:00000001FF\n", {0x11, 0x22}}),
    testsupport::CaseName());

TEST_F(HexImage, MissingHexFileFails) {
    std::remove(hexPath.c_str());
    EXPECT_FALSE(updater::ConvertHexImage(hexPath, flatPath, 0x2000));
}

TEST_F(HexImage, UnwritableFlatFileFails) {
    platform::WriteWholeFile(hexPath, ":00000001FF\r\n", 13);
    EXPECT_FALSE(updater::ConvertHexImage(hexPath, "/nonexistent-folder/flat", 0x2000));
}

TEST_F(HexImage, WildAddressFailsAndRemovesTheImage) {
    EXPECT_FALSE(Convert(":02000004F000FA\r\n:0100000055AA\r\n:00000001FF\r\n"));
    EXPECT_FALSE(std::ifstream(flatPath).good());
}

} // namespace

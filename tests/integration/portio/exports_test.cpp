// The identification and status exports through libportio.so.
#include "portio.h"
#include "tests/support/sim_fixture.h"

#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class PortioExports : public testsupport::SimPlayerTest {
protected:
    void SetUp() override {
        SimPlayerTest::SetUp();
        dll_fn_SetTimeout(30000, 20000);
    }
};

TEST_F(PortioExports, FindDeivceLooksOnlyAtTheDeviceList) {
    EXPECT_EQ(dll_fn_FindDeivce(), 0);
    Player().SetProductId(0x1001);
    EXPECT_EQ(dll_fn_FindDeivce(), 0);
    Player().Detach();
    EXPECT_EQ(dll_fn_FindDeivce(), 1);
    Bus().AddListedDevice("USB\\PID_0321&VID_0F9C\\7", "{36FC9E60-C465-11CF-8056-444553540000}");
    EXPECT_EQ(dll_fn_FindDeivce(), 0);
    EXPECT_EQ(Bus().DriverOpenCount(), 0u);
    EXPECT_TRUE(Player().GetTranscript().Entries().empty());
}

TEST_F(PortioExports, StatusAndDockOpenAndCloseALink) {
    for (auto check : {dll_fn_get_player_status, dll_fn_IsDockDeivce}) {
        Bus().Reset();
        EXPECT_EQ(check(), 0);
        EXPECT_EQ(Writes().size(), 1u) << "the handshake only";
        Player().UnusableHandshakeReplies(5);
        EXPECT_EQ(check(), 2);
        Player().Detach();
        EXPECT_EQ(check(), 1);
    }
}

TEST_F(PortioExports, StatusIsTwoWithoutDriver) {
    Bus().SetDriverAvailable(false);
    EXPECT_EQ(dll_fn_get_player_status(), 2);
}

struct VersionCase {
    const char* name;
    std::string version;
    std::string shown;   // at offset 0
};

class PlayerVersion : public PortioExports, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(PlayerVersion, KeepsTheLayoutOfTheCallersBuffer) {
    Player().SetIdentification(IdentificationWithVersion(GetParam().version));
    char text[64];
    std::memset(text, 0x7E, sizeof text);
    ASSERT_EQ(dll_fn_get_player_version(text), 0);
    EXPECT_EQ(std::string(text), GetParam().shown);
    EXPECT_EQ(text[21], '\0');
    EXPECT_STREQ(text + 29, "QRM-284");
    for (size_t i = 37; i < sizeof text; ++i) {
        ASSERT_EQ(text[i], 0x7E) << "byte " << i << " of the caller's buffer was written";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Versions, PlayerVersion,
    ::testing::Values(VersionCase{"Plain", "1.4322", "APPL 1.4322"},
                      // 20 characters exactly: "APPL " + 15.
                      VersionCase{"Twenty", "1.4322 abcdefgh", "APPL 1.4322 abcdefgh"},
                      VersionCase{"TwentyOne", "1.4322 abcdefghi", "APPL 1.4322 abcdefgh"},
                      VersionCase{"VeryLong", "1.4322" + std::string(200, 'x'), "APPL 1.4322xxxxxxxxx"}),
    testsupport::CaseName());

TEST_F(PortioExports, PlayerVersionFailsWithNineAndWritesNothing) {
    Player().SetIdentification(IdentificationWithVersion("0.00"));
    char text[42];
    std::memset(text, 0x7E, sizeof text);
    EXPECT_EQ(dll_fn_get_player_version(text), 9);
    EXPECT_EQ(text[0], 0x7E);
    Player().Detach();
    EXPECT_EQ(dll_fn_get_player_version(text), 9);
    EXPECT_EQ(dll_fn_get_player_version(nullptr), 9);
}

TEST_F(PortioExports, SetTimeoutReachesTheNextTransfers) {
    dll_fn_SetTimeout(5000, 7000);
    char text[42] = {};
    ASSERT_EQ(dll_fn_get_player_version(text), 0);
    for (const auto& transfer : Player().GetTranscript().Transfers()) {
        const bool readTimeout = transfer.in || transfer.options == 1;
        EXPECT_EQ(transfer.timeoutMs, readTimeout ? 5000u : 7000u) << "pipe " << transfer.pipe;
    }
}

TEST_F(PortioExports, CancelWithoutDataPhaseIsNine) { EXPECT_EQ(dll_fn_Cancel(), 9); }

} // namespace

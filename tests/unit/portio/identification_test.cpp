#include "portio/protocol_session.h"
#include "tests/support/sim_fixture.h"

#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

struct IdentificationCase {
    const char* name;
    std::optional<std::string> rawText;   // whole text, or the default with `version`
    std::string version;
    bool ok;
    uint32_t number;
    std::string versionText;
};

class Identification : public testsupport::SimPlayerTest,
                       public ::testing::WithParamInterface<IdentificationCase> {};

TEST_P(Identification, ParsesWhatThePlayerSays) {
    const auto& c = GetParam();
    portio::ProtocolSession session;
    // An earlier identification left the version 0x777.
    Player().SetIdentification(IdentificationWithVersion("0.0777"));
    ASSERT_TRUE(session.QueryVersion().has_value());
    ASSERT_EQ(session.FirmwareVersion(), 0x777u);
    Player().ClearTranscript();
    kvx512sim::Identification identification;
    identification.version = c.version;
    identification.rawText = c.rawText;
    Player().SetIdentification(identification);

    const auto found = session.QueryVersion();
    EXPECT_EQ(found.has_value(), c.ok);
    if (c.ok) {
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->version, c.number);
        EXPECT_EQ(session.FirmwareVersion(), c.number);
        EXPECT_EQ(found->identityText, c.versionText);
    } else {
        EXPECT_EQ(session.FirmwareVersion(), 0x777u) << "a failed identification keeps the old version";
    }
    // The exchange: the link's handshake "Y", then the identification's own "Y".
    const auto writes = Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1], Block({0x23, 0, 3, 0x3A, 0x59, 0x2E}));
}

const std::string Signature = "KORVANEXT KVX512 FILE SYSTEM";

INSTANTIATE_TEST_SUITE_P(
    Texts, Identification,
    ::testing::Values(
        IdentificationCase{"Good", std::nullopt, "1.4322", true, 0x14322, "APPL 1.4322"},
        IdentificationCase{"TwoPoints", std::nullopt, "1.43.22", true, 0x14300, "APPL 1.43.22"},
        IdentificationCase{"VersionZero", std::nullopt, "0.00", false, 0, ""},
        IdentificationCase{"NotANumber", std::nullopt, "abc", false, 0, ""},
        IdentificationCase{"EndsAfterIdentity", std::nullopt, "", false, 0, ""},
        IdentificationCase{"WrongSignature", "korvanext kvx512 file system A B C APPL 1.4322", "", false, 0, ""},
        IdentificationCase{"NoSpaceAfterSignature", Signature + "_A B C APPL 1.4322", "", false, 0, ""},
        // Length byte 30: the text stops inside the signature's space.
        IdentificationCase{"Short", Signature, "", false, 0, ""},
        IdentificationCase{"OnlyTwoWords", Signature + " A B", "", false, 0, ""},
        IdentificationCase{"ExtraWords", Signature + " A B C APPL 2 more", "", true, 0x20000, "APPL 2 more"}),
    testsupport::CaseName());

} // namespace

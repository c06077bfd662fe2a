// The reachability check before refresh, format, delete and the opens for
// writing and reading: up to five status checks, each a whole link open.
#include "tests/support/case_name.h"
#include "tests/support/portio_session.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct ReachabilityCase {
    const char* name;
    std::function<int(StorageImage&)> call;
};

class Reachability : public testsupport::PortioSessionTest,
                     public ::testing::WithParamInterface<ReachabilityCase> {
protected:
    void SetUp() override {
        PortioSessionTest::SetUp();
        ASSERT_TRUE(Player().PutFile(0, "/a.mp3", {1, 2, 3}));
        Player().ClearTranscript();
    }

    // Fails the next `checks` status checks: a link open gives up after five
    // unusable handshake replies.
    void FailStatusChecks(int checks) { Player().UnusableHandshakeReplies(5 * checks); }

    size_t Handshakes() { return Writes().size() - Commands().size(); }
};

TEST_P(Reachability, FourFailedChecksAreRetriedPast) {
    FailStatusChecks(4);
    EXPECT_EQ(GetParam().call(Image()), 0);
    ASSERT_EQ(Commands().size(), 1u);
    // 4 x 5 refused handshakes, the fifth check's, the operation's own link.
    EXPECT_EQ(Handshakes(), 22u);
}

TEST_P(Reachability, FiveFailedChecksMakeThePlayerUnreachable) {
    FailStatusChecks(5);
    EXPECT_EQ(GetParam().call(Image()), 2);
    EXPECT_TRUE(Commands().empty());
    EXPECT_EQ(Handshakes(), 25u);
    // The player answers again: the next call checks afresh.
    EXPECT_EQ(GetParam().call(Image()), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Exports, Reachability,
    ::testing::Values(
        ReachabilityCase{"Refresh", [](StorageImage& image) { return dll_fn_refresh_device(&image, 0); }},
        ReachabilityCase{"Format", [](StorageImage&) { return dll_fn_format_device(0, nullptr, 0x400, 0); }},
        ReachabilityCase{"Delete", [](StorageImage&) { return dll_fn_delete_file(0, 0); }},
        ReachabilityCase{"OpenWrite",
                         [](StorageImage&) {
                             return dll_fn_Open_Writefile(testsupport::MakeRecord("n", "N", "MP3", 1), 0);
                         }},
        ReachabilityCase{"OpenRead", [](StorageImage&) { return dll_fn_Open_Readfile(FileRecord{}, 0, 0); }}),
    testsupport::CaseName());

} // namespace

// Every storage export's failure results, provoked through the simulated player.
#include "tests/support/case_name.h"
#include "tests/support/portio_session.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using Call = std::function<int(StorageImage&, int storage)>;

struct ResultCase {
    const char* name;
    Call call;
    int whenDetached;       // the player is gone
    int whenNotSent;        // the storage index names no group, so no block can be built
    int whenNoReply;        // the player answers handshakes only
};

class ResultCodes : public testsupport::PortioSessionTest, public ::testing::WithParamInterface<ResultCase> {
protected:
    void SetUp() override {
        PortioSessionTest::SetUp();
        dll_fn_SetTimeout(150, 150);
        ASSERT_TRUE(Player().PutFile(0, "/a.mp3", {1, 2, 3}));
        ASSERT_TRUE(Player().PutFile(0, "/b.mp3", {4, 5, 6}));
        ASSERT_TRUE(Player().MakeFolder(0, "/Folder"));
    }
};

TEST_P(ResultCodes, Detached) {
    Player().Detach();
    EXPECT_EQ(GetParam().call(Image(), 0), GetParam().whenDetached);
}

TEST_P(ResultCodes, NotSent) {
    EXPECT_EQ(GetParam().call(Image(), 7), GetParam().whenNotSent);
    EXPECT_EQ(Commands().empty(), GetParam().whenNotSent == 5);
}

TEST_P(ResultCodes, NoReply) {
    Player().WithholdReplies(1000, false);
    EXPECT_EQ(GetParam().call(Image(), 0), GetParam().whenNoReply);
}

FileRecord Unused() { return FileRecord{}; }

INSTANTIATE_TEST_SUITE_P(
    Exports, ResultCodes,
    ::testing::Values(
        ResultCase{"Refresh", [](StorageImage& image, int s) { return dll_fn_refresh_device(&image, s); }, 2, 5, 3},
        ResultCase{"OpenWrite",
                   [](StorageImage&, int s) { return dll_fn_Open_Writefile(testsupport::MakeRecord("n", "N", "MP3", 1), s); },
                   2, 5, 3},
        ResultCase{"OpenRead", [](StorageImage&, int s) { return dll_fn_Open_Readfile(Unused(), s, 0); }, 2, 5, 3},
        ResultCase{"Delete", [](StorageImage&, int s) { return dll_fn_delete_file(0, s); }, 2, 5, 3},
        ResultCase{"Replace", [](StorageImage&, int s) { return dll_fn_Replace_file(0, 1, s); }, 2, 5, 3},
        ResultCase{"CreateFolder", [](StorageImage&, int s) { return dll_fn_CreateDirectory(s, "New"); }, 2, 5, 3},
        ResultCase{"ChangeFolder", [](StorageImage&, int s) { return dll_fn_SetCurrentDirectory(s, 0); }, 2, 5, 3},
        ResultCase{"RemoveFolder", [](StorageImage&, int s) { return dll_fn_RemoveDirectory(s, 9); }, 2, 5, 3},
        ResultCase{"CurrentFolder",
                   [](StorageImage&, int s) {
                       char text[64];
                       return dll_fn_GetCurrentDirectory(s, text, sizeof text);
                   },
                   2, 5, 3},
        ResultCase{"Format", [](StorageImage&, int s) { return dll_fn_format_device(s, nullptr, 0x400, 0); }, 2, 5, 3},
        ResultCase{"Font", [](StorageImage&, int) { return dll_fn_DownloadFont("FONT", 10); }, -1, 0, -1}),
    testsupport::CaseName());

} // namespace

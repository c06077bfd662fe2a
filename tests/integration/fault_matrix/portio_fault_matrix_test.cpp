// Every export of libportio.so that talks to the player, against every fault
// the simulated player can inject: the result code, whether the export left a
// link open, that it ended within its time-outs, and that no partial file or
// font is left on the player.
#include "platform/system/clock.h"
#include "tests/integration/fault_matrix/faults.h"
#include "tests/support/portio_session.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

using faultmatrix::AllFaults;
using faultmatrix::Fault;
using faultmatrix::FaultCount;
using Clock = std::chrono::steady_clock;

// The transfers' time-outs, and how many of them one export may wait out: a
// reachability check of five link opens, the command's own link and a reply.
constexpr int TimeoutMs = 50;
constexpr int MaxWaits = 12;
constexpr auto Slack = std::chrono::milliseconds(1500);

constexpr uint32_t DataSize = 40000;
constexpr uint32_t FileASize = 100000;

struct Cell {
    int code;
    bool linkOpen;
    bool playerWaits = false;   // still in its data phase afterwards
};
constexpr Cell C(int code) { return {code, false}; }   // link closed afterwards
constexpr Cell O(int code) { return {code, true}; }    // link left open
// Link closed, the player still in its data phase: the cancel request itself failed.
constexpr Cell W(int code) { return {code, false, true}; }

// What each cell works with: the setup's files and folder, the buffers.
struct Context {
    StorageImage* image = nullptr;
    int folder = 0;   // folder number of /Folder
    std::vector<uint8_t> data = testsupport::Pattern(DataSize, 7);
    std::vector<uint8_t> buffer = std::vector<uint8_t>(DataSize);
    char text[64] = {};
};

using Step = std::function<int(Context&)>;

struct Row {
    const char* name;
    Step prepare;   // run before the fault is armed; must give 0
    Step operation;
    std::array<Cell, FaultCount> cells;
};

FileRecord NewRecord() { return testsupport::MakeRecord("new.mp3", "NEW", "MP3", DataSize); }

int OpenWrite(Context&) { return dll_fn_Open_Writefile(NewRecord(), 0); }
int OpenRead(Context&) { return dll_fn_Open_Readfile(FileRecord{}, 0, 0); }
int OpenFont(Context&) { return dll_fn_DownloadFont("FONT", DataSize); }
int WriteData(Context& c) { return dll_fn_Write_file(c.data.data(), DataSize); }

// Columns, in the order of AllFaults:
//   None  HsWh  RpWh  CmdW  RdF   R01   R02   R03   R04   R05   R19   R27   Stale Prog  Detach DataWh
const std::vector<Row> rows = {
    {"Status", {}, [](Context&) { return dll_fn_get_player_status(); },
     {C(0), C(2), C(0), C(2), C(2), C(0), C(0), C(0), C(0), C(0), C(0), C(0), C(0), C(0), C(0), C(0)}},
    {"Dock", {}, [](Context&) { return dll_fn_IsDockDeivce(); },
     {C(0), C(2), C(0), C(2), C(2), C(0), C(0), C(0), C(0), C(0), C(0), C(0), C(0), C(0), C(0), C(0)}},
    {"Version", {}, [](Context& c) { return dll_fn_get_player_version(c.text); },
     {C(0), C(9), C(0), C(9), C(9), C(0), C(0), C(0), C(0), C(0), C(0), C(0), C(0), C(0), C(0), C(0)}},
    // A failed "GG" or header leaves the link open; a progress reply as the
    // header reads as a listing without entries.
    {"Refresh", {}, [](Context& c) { return dll_fn_refresh_device(c.image, 0); },
     {C(0), C(2), O(3), O(5), O(3), O(3), O(3), O(3), O(3), O(3), O(3), O(3), C(3), C(0), C(0), C(0)}},
    {"OpenWrite", {}, OpenWrite,
     {O(0), C(2), C(3), C(5), C(3), C(3), C(3), C(3), C(3), C(3), C(8), C(6), C(3), C(3), O(0), O(0)}},
    {"WriteData", OpenWrite, WriteData,
     {O(0), O(0), O(0), C(4), O(0), O(0), O(0), O(0), O(0), O(0), O(0), O(0), O(0), O(0), C(4), O(0)}},
    // The two answer blocks of "R" are not examined: a refusal opens the data
    // phase too, and with the answers withheld the file's first blocks stand in.
    {"OpenRead", {}, OpenRead,
     {O(0), C(2), O(0), C(5), C(3), O(0), O(0), O(0), O(0), O(0), O(0), O(0), O(0), O(0), O(0), O(0)}},
    {"ReadData", OpenRead, [](Context& c) { return dll_fn_Read_file(c.buffer.data(), DataSize); },
     {O(0), O(0), O(0), C(3), C(3), O(0), O(0), O(0), O(0), O(0), O(0), O(0), O(0), O(0), C(3), C(3)}},
    {"Delete", {}, [](Context&) { return dll_fn_delete_file(1, 0); },
     {C(0), C(2), C(3), C(5), C(3), C(3), C(3), C(3), C(3), C(3), C(3), C(3), C(3), C(3), C(0), C(0)}},
    {"Replace", {}, [](Context&) { return dll_fn_Replace_file(0, 1, 0); },
     {O(0), C(2), C(3), C(5), C(3), C(3), C(3), C(3), C(3), C(3), C(3), C(3), C(3), C(3), O(0), O(0)}},
    // Folder operations take any accepted reply and keep the link after every reply they read.
    {"CreateFolder", {}, [](Context&) { return dll_fn_CreateDirectory(0, "New"); },
     {O(0), C(2), C(3), C(5), C(3), O(-1), O(-1), O(-1), O(-1), O(-1), O(-1), O(-1), O(-1), O(0), O(0), O(0)}},
    {"ChangeFolder", {}, [](Context& c) { return dll_fn_SetCurrentDirectory(0, c.folder); },
     {O(0), C(2), C(3), C(5), C(3), O(-1), O(-1), O(-1), O(-1), O(-1), O(-1), O(-1), O(-1), O(0), O(0), O(0)}},
    {"RemoveFolder", {}, [](Context& c) { return dll_fn_RemoveDirectory(0, c.folder); },
     {O(0), C(2), C(3), C(5), C(3), O(-1), O(-1), O(-1), O(-1), O(-1), O(-1), O(-1), O(-1), O(0), O(0), O(0)}},
    // A progress reply announces 12,846 entry bytes that never come.
    {"CurrentFolder", {}, [](Context& c) { return dll_fn_GetCurrentDirectory(0, c.text, sizeof c.text); },
     {O(0), C(2), C(3), C(5), C(3), O(-1), O(-1), O(-1), O(-1), O(-1), O(-1), O(-1), O(-1), O(-1), O(0), O(0)}},
    {"Format", {}, [](Context&) { return dll_fn_format_device(0, nullptr, 0x400, 0); },
     {C(0), C(2), C(3), C(5), C(3), C(3), C(3), C(3), C(3), C(3), C(3), C(3), C(3), C(3), C(0), C(0)}},
    // A refused font download keeps its link until the next export.
    {"Font", {}, OpenFont,
     {O(0), C(-1), C(-1), C(-1), C(-1), O(-1), O(-1), O(-1), O(-1), O(-1), O(-1), O(-1), O(-1), O(0), O(0), O(0)}},
    {"FontData", OpenFont, WriteData,
     {O(0), O(0), O(0), C(4), O(0), O(0), O(0), O(0), O(0), O(0), O(0), O(0), O(0), O(0), C(4), O(0)}},
    // The cancel request's result is not looked at.
    {"Cancel", OpenWrite, [](Context&) { return dll_fn_Cancel(); },
     {C(0), C(0), C(0), W(0), C(0), C(0), C(0), C(0), C(0), C(0), C(0), C(0), C(0), C(0), C(0), C(0)}},
};

class PortioFaultMatrix : public testsupport::SimPlayerTest,
                          public ::testing::WithParamInterface<faultmatrix::CellIndex> {
protected:
    void SetUp() override {
        // The cancel's second of message pumping passes at once.
        platform::SetClockHooks({[](uint32_t) {}, {}});
        context_.image = image_.get();
    }
    void TearDown() override {
        dll_fn_Close_Writefile();
        platform::SetClockHooks({});
    }

    const Row& GetRow() const { return faultmatrix::RowOf(rows, GetParam()); }
    Fault GetFault() const { return faultmatrix::FaultOf(GetParam()); }

    // A fresh player with two files and a folder, identified, the row prepared.
    void Start() {
        dll_fn_Close_Writefile();
        SimPlayerTest::SetUp();
        dll_fn_SetTimeout(TimeoutMs, TimeoutMs);
        ASSERT_TRUE(Player().PutFile(0, "/a.mp3", fileA_));
        ASSERT_TRUE(Player().PutFile(0, "/b.mp3", fileB_));
        ASSERT_TRUE(Player().MakeFolder(0, "/Folder"));
        context_.folder = static_cast<int>(Player().FolderNumber(0, "/Folder"));
        ASSERT_EQ(dll_fn_get_player_version(context_.text), 0);
        if (GetRow().prepare) {
            ASSERT_EQ(GetRow().prepare(context_), 0);
        }
        Player().ClearTranscript();
    }

    // Only whole files on the player: the setup's, and "new.mp3" complete.
    void ExpectNoPartialFile() {
        for (const auto& item : Player().ListFolder(0, "/")) {
            if ((item.attribute & 0x10) != 0) {
                continue;
            }
            if (item.shortName == "A       MP3") {
                EXPECT_EQ(Player().FileData(0, "/a.mp3"), fileA_);
            } else if (item.shortName == "B       MP3") {
                EXPECT_EQ(Player().FileData(0, "/b.mp3"), fileB_);
            } else if (item.shortName == "NEW     MP3") {
                EXPECT_EQ(Player().FileData(0, "/new.mp3"), context_.data) << "a partial file is listed";
            } else {
                ADD_FAILURE() << "unexpected file " << item.shortName;
            }
        }
        EXPECT_TRUE(Player().FontData().empty() || Player().FontData() == context_.data) << "a partial font";
    }

    std::vector<uint8_t> fileA_ = testsupport::Pattern(FileASize, 3);
    std::vector<uint8_t> fileB_ = testsupport::Pattern(700, 5);
    std::unique_ptr<StorageImage> image_ = std::make_unique<StorageImage>();
    Context context_;
};

TEST_P(PortioFaultMatrix, ResultLinkTimeAndStoredFiles) {
    const Row& row = GetRow();
    const Fault fault = GetFault();
    const Cell expected = row.cells[std::get<1>(GetParam())];

    faultmatrix::Aim aim;
    if (faultmatrix::NeedsAim(fault)) {
        // Where the operation's transfers go, from a run without the fault.
        ASSERT_NO_FATAL_FAILURE(Start());
        row.operation(context_);
        aim = faultmatrix::AimAt(Player().GetTranscript());
    }
    ASSERT_NO_FATAL_FAILURE(Start());
    faultmatrix::Arm(Player(), fault, aim);

    const auto start = Clock::now();
    const int result = row.operation(context_);
    const auto elapsed = Clock::now() - start;

    EXPECT_EQ(result, expected.code) << Player().GetTranscript().Describe();
    EXPECT_LT(elapsed, std::chrono::milliseconds(MaxWaits * TimeoutMs) + Slack);
    // dll_fn_Cancel is 9 exactly when no link is open; otherwise it ends it.
    EXPECT_EQ(dll_fn_Cancel() != 9, expected.linkOpen);
    // Nothing leaves the player waiting for data it will never get.
    EXPECT_EQ(Player().InDataPhase(), expected.playerWaits);
    ExpectNoPartialFile();
}

INSTANTIATE_TEST_SUITE_P(Exports, PortioFaultMatrix, faultmatrix::AllCells(rows.size()),
                         faultmatrix::CellName(rows));

} // namespace

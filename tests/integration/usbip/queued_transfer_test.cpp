// Queued transfers over USB/IP (client backend, server, loopback TCP, the
// in-process player): the blocks of a read and the chunks of a write go out
// together, and whatever ends a run early ends it as transfers made one at a
// time would: the same result, the cancel request once and last, and no
// request left with the server.
#include "platform/system/clock.h"
#include "platform/usb/usb_driver.h"
#include "tests/support/case_name.h"
#include "tests/support/portio_session.h"
#include "tests/support/transcript_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using kvx512sim::TranscriptEntry;
using namespace std::chrono_literals;

constexpr uint32_t BlockBytes = 512;
constexpr uint32_t ChunkBytes = 16384;

class QueuedTransfers : public testsupport::PortioSessionTest {
protected:
    void TearDown() override {
        platform::SetClockHooks({});
        PortioSessionTest::TearDown();
    }

    // A file with these bytes on the player, its read data phase open and
    // the transcript cleared.
    void OpenRead(const std::vector<uint8_t>& data) {
        ASSERT_EQ(Upload(Record("queued.bin", "QUEUED", "BIN", static_cast<uint32_t>(data.size())), data), 0);
        ASSERT_EQ(Refresh(), 0);
        FileRecord unused{};
        ASSERT_EQ(dll_fn_Open_Readfile(unused, 0, FilePosition("queued.bin")), 0);
        Player().ClearTranscript();
    }

    void OpenWrite(uint32_t size) {
        ASSERT_EQ(dll_fn_Open_Writefile(Record("queued.bin", "QUEUED", "BIN", size), 0), 0);
        Player().ClearTranscript();
    }

    // The bulk IN requests the server still holds for this client, as the
    // server itself counts them.
    static int PendingOnServer() {
        const auto driver = platform::usb::OpenDriver();
        const auto scan = driver->Scan(0x0F9C, 0x0301);
        if (scan.uniqueIds.empty()) {
            return -1;
        }
        std::array<uint8_t, 2> count{};
        const auto result = driver->ControlTransfer(
            {scan.uniqueIds.front(), {0xC0, 0xF3, 0, 0, 0, 0, 2, 0}, count.data(), 2, 2000});
        return result.status == platform::usb::Status::Success && result.bytesMoved == 2 ? count[0] | (count[1] << 8)
                                                                                         : -1;
    }

    // The run's transfers crossed intact up to the failing one (if any), the
    // cancel request came once and nothing after it, the server holds nothing
    // and the next exchange works. `transfers` are the run's data transfers.
    void ExpectEndedCleanly(const std::vector<TranscriptEntry>& transfers, const std::vector<uint8_t>& data,
                            uint32_t size, size_t good) {
        ASSERT_GE(transfers.size(), good);
        for (size_t i = 0; i < good; ++i) {
            EXPECT_EQ(transfers[i].status, kvx512sim::UsbStatus::Success) << "transfer " << i;
            EXPECT_EQ(transfers[i].requested, size) << "transfer " << i;
            const size_t at = std::min(i * size, data.size());
            const std::vector<uint8_t> expected(data.begin() + static_cast<std::ptrdiff_t>(at),
                                                data.begin() + static_cast<std::ptrdiff_t>(std::min(at + size, data.size())));
            EXPECT_TRUE(transfers[i].bytes.size() >= expected.size() &&
                        std::equal(expected.begin(), expected.end(), transfers[i].bytes.begin()))
                << "transfer " << i << " carried other bytes";
        }
        const auto all = Player().GetTranscript().Transfers();
        EXPECT_EQ(testsupport::CancelRequests(Player().GetTranscript()), 1) << Player().GetTranscript().Describe();
        ASSERT_FALSE(all.empty());
        EXPECT_EQ(all.back().pipe, 0u) << "nothing may follow the cancel request";
        EXPECT_EQ(PendingOnServer(), 0);
        char text[42] = {};
        EXPECT_EQ(dll_fn_get_player_version(text), 0);
    }
};

// A read of 64 blocks whose data stops after some of them.
struct WithheldCase {
    const char* name;
    uint32_t blocksSent;
};

class WithheldBlock : public QueuedTransfers, public ::testing::WithParamInterface<WithheldCase> {};

TEST_P(WithheldBlock, FailsTheReadAfterItsTimeOutAndLeavesNothingPending) {
    const auto data = Pattern(3 * 32768);
    OpenRead(data);
    Player().WithholdDataAfterBlocks(GetParam().blocksSent);
    dll_fn_SetTimeout(300, 2000);
    std::vector<uint8_t> buffer(32768, 0xEE);

    const auto start = Clock::now();
    EXPECT_EQ(dll_fn_Read_file(buffer.data(), 32768), 3);
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, 300ms) << "failed before the time-out";
    EXPECT_LT(elapsed, 1500ms) << "waited for more than the one block's time-out";
    EXPECT_EQ(buffer, std::vector<uint8_t>(32768, 0xEE)) << "a failed read leaves the caller's buffer alone";

    const auto reads = TransfersOn(0x83);
    EXPECT_EQ(reads.size(), GetParam().blocksSent) << "only the blocks sent were read";
    ExpectEndedCleanly(reads, data, BlockBytes, GetParam().blocksSent);
}

INSTANTIATE_TEST_SUITE_P(Reads, WithheldBlock,
                         ::testing::Values(WithheldCase{"FirstBlock", 0}, WithheldCase{"MiddleBlock", 20},
                                           WithheldCase{"LastBlock", 63}),
                         testsupport::CaseName());

// The transfer at `failing` of one call's run fails at the player.
struct FailureCase {
    const char* name;
    bool write;
    int failing;
};

class FailingTransfer : public QueuedTransfers, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailingTransfer, GivesTheResultOfOneAtATimeTransfers) {
    const auto& c = GetParam();
    const auto data = Pattern(65536, 3);
    if (c.write) {
        OpenWrite(static_cast<uint32_t>(data.size()));
    } else {
        OpenRead(data);
    }
    Player().FailNextTransfers(1, c.failing);
    std::vector<uint8_t> buffer(data.size(), 0xEE);

    if (c.write) {
        EXPECT_EQ(dll_fn_Write_file(data.data(), static_cast<uint32_t>(data.size())), 4);
    } else {
        EXPECT_EQ(dll_fn_Read_file(buffer.data(), static_cast<uint32_t>(buffer.size())), 3);
        EXPECT_EQ(buffer, std::vector<uint8_t>(data.size(), 0xEE)) << "a failed read leaves the caller's buffer alone";
    }

    const auto transfers = TransfersOn(c.write ? 0x02 : 0x83);
    ASSERT_GT(transfers.size(), static_cast<size_t>(c.failing));
    EXPECT_EQ(transfers[static_cast<size_t>(c.failing)].status, kvx512sim::UsbStatus::Failed);
    ExpectEndedCleanly(transfers, data, c.write ? ChunkBytes : BlockBytes, static_cast<size_t>(c.failing));
    ASSERT_EQ(Refresh(), 0);
    EXPECT_EQ(FilePosition("queued.bin") >= 0, !c.write) << "a write cut short stores nothing";
}

INSTANTIATE_TEST_SUITE_P(Runs, FailingTransfer,
                         ::testing::Values(FailureCase{"WriteFirst", true, 0}, FailureCase{"WriteMiddle", true, 2},
                                           FailureCase{"WriteLast", true, 3}, FailureCase{"ReadFirst", false, 0},
                                           FailureCase{"ReadSecondWindow", false, 70},
                                           FailureCase{"ReadLast", false, 127}),
                         testsupport::CaseName());

// The caller cancels once a queued write has returned.
struct CancelCase {
    const char* name;
    uint32_t written;
};

class CancelledWrite : public QueuedTransfers, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(CancelledWrite, SendsTheCancelRequestOnceAndNothingAfterIt) {
    platform::SetClockHooks({[](uint32_t) {}, {}});   // the second of message pumping passes at once
    const auto data = Pattern(2 * 65536, 5);
    OpenWrite(static_cast<uint32_t>(data.size()));
    const uint32_t written = GetParam().written;
    ASSERT_EQ(dll_fn_Write_file(data.data(), written), 0);
    EXPECT_EQ(dll_fn_Cancel(), 0);

    const auto chunks = TransfersOn(0x02);
    const size_t expected = (written + ChunkBytes - 1) / ChunkBytes;
    EXPECT_EQ(chunks.size(), expected) << "every chunk crossed before the cancel, and none after it";
    ExpectEndedCleanly(chunks, std::vector<uint8_t>(data.begin(), data.begin() + written), ChunkBytes, written / ChunkBytes);
    ASSERT_EQ(Refresh(), 0);
    EXPECT_EQ(FilePosition("queued.bin"), -1) << "a cancelled write stores nothing";
}

INSTANTIATE_TEST_SUITE_P(Writes, CancelledWrite,
                         ::testing::Values(CancelCase{"WholeChunks", 65536}, CancelCase{"WithATail", 40000}),
                         testsupport::CaseName());

} // namespace

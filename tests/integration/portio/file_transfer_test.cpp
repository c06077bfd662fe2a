// Writing and reading files through libportio.so, checked on the wire and in
// what the simulated player stored.
#include "platform/text/code_page.h"
#include "tests/support/case_name.h"
#include "tests/support/portio_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

class FileTransfer : public testsupport::PortioSessionTest {};

class RoundTrip : public FileTransfer, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(RoundTrip, WhatIsWrittenIsListedStoredAndReadBack) {
    const uint32_t size = GetParam();
    const auto data = Pattern(size, size);
    ASSERT_EQ(Upload(Record("Round trip.bin", "ROUNDT~1", "BIN", size), data), 0);
    ASSERT_EQ(Player().FileData(0, "/Round trip.bin"), data);

    ASSERT_EQ(Refresh(), 0);
    const FileRecord* record = Find("Round trip.bin");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->size, size);
    EXPECT_EQ(record->longNameFlag, 1);
    EXPECT_EQ(record->headerFlag, 0);
    EXPECT_EQ(Download(FilePosition("Round trip.bin"), size), data);
}

INSTANTIATE_TEST_SUITE_P(Sizes, RoundTrip,
                         ::testing::Values(0u, 1u, 511u, 512u, 16383u, 16384u, 16385u, 3u * 1024 * 1024 + 7));

struct WriteShape {
    const char* name;
    uint32_t size;                   // one dll_fn_Write_file call
    std::vector<uint32_t> transfers;
};

class WriteTransfers : public FileTransfer, public ::testing::WithParamInterface<WriteShape> {};

TEST_P(WriteTransfers, ChunksOf16KiBAndATailOfWholeBlocks) {
    const auto& c = GetParam();
    const auto data = Pattern(c.size);
    ASSERT_EQ(dll_fn_Open_Writefile(Record("shape", "SHAPE", "DAT", c.size), 0), 0);
    Player().ClearTranscript();
    ASSERT_EQ(dll_fn_Write_file(data.data(), c.size), 0);
    std::vector<uint32_t> sizes;
    for (const auto& transfer : TransfersOn(0x02)) {
        sizes.push_back(transfer.requested);
    }
    EXPECT_EQ(sizes, c.transfers);
    EXPECT_EQ(dll_fn_Close_Writefile(), 0);
    EXPECT_EQ(Player().FileData(0, "/shape"), data);
}

INSTANTIATE_TEST_SUITE_P(Shapes, WriteTransfers,
                         ::testing::Values(WriteShape{"TwoChunks", 32768, {16384, 16384}},
                                           WriteShape{"ShortTail", 1000, {1024}},
                                           WriteShape{"ChunkAndBlock", 16385, {16384, 512}},
                                           WriteShape{"ExactBlock", 512, {512}}),
                         testsupport::CaseName());

TEST_F(FileTransfer, TailPaddingIsZeroNotEarlierData) {
    const std::vector<uint8_t> first(16384 + 600, 0xEE);
    const std::vector<uint8_t> second(100, 0x11);
    ASSERT_EQ(dll_fn_Open_Writefile(Record("pad", "PAD", "DAT", 16384 + 600 + 100), 0), 0);
    ASSERT_EQ(dll_fn_Write_file(first.data(), static_cast<uint32_t>(first.size())), 0);
    ASSERT_EQ(dll_fn_Write_file(second.data(), static_cast<uint32_t>(second.size())), 0);
    const auto writes = TransfersOn(0x02);
    ASSERT_GE(writes.size(), 3u);
    const auto& tail = writes.back().bytes;
    ASSERT_EQ(tail.size(), 512u);
    EXPECT_TRUE(std::all_of(tail.begin() + 100, tail.end(), [](uint8_t b) { return b == 0; }));
    const auto& middle = writes[writes.size() - 2].bytes;
    ASSERT_EQ(middle.size(), 1024u);
    EXPECT_TRUE(std::all_of(middle.begin() + 600, middle.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(FileTransfer, WriteCommandBlockCarriesEntriesInFormThree) {
    ASSERT_EQ(dll_fn_Open_Writefile(Record("Track twelve", "TRACKT~1", "mp3", 10), 1), 0);
    dll_fn_Close_Writefile();
    const auto commands = Commands();
    ASSERT_EQ(commands.size(), 1u);
    const auto& block = commands[0];
    EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + 8), Bytes({0x23, 0, 2, 0x3A, 'S', 'W', 0x00, 0x41}));
    EXPECT_EQ(block[8], 0x41) << "one long-name entry, last part";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&block[8 + 32]), 11), "TRACKT~1MP3");
    EXPECT_EQ(block[8 + 32 + 12], 1) << "header flag";
    EXPECT_EQ(block[8 + 64], '.');
}

TEST_F(FileTransfer, ReadCommandAndBlockCounts) {
    const auto data = Pattern(40000);
    ASSERT_EQ(Upload(Record("r", "R", "DAT", 40000), data), 0);
    ASSERT_EQ(Refresh(), 0);
    Player().ClearTranscript();
    FileRecord unused{};
    ASSERT_EQ(dll_fn_Open_Readfile(unused, 0, 0), 0);
    std::vector<uint8_t> got(1000);
    ASSERT_EQ(dll_fn_Read_file(got.data(), 1000), 0);
    EXPECT_EQ(got, std::vector<uint8_t>(data.begin(), data.begin() + 1000));
    const auto commands = Commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0], Block({0x23, 0, 6, 0x3A, 'M', 'R', 0, 0, 0x2E}));
    // Two answer blocks, then two data blocks for 1,000 bytes.
    const auto reads = TransfersOn(0x83);
    const auto afterHandshakes = std::count_if(reads.begin(), reads.end(), [](const auto& r) {
        return r.bytes.size() == 512 && !(r.bytes[0] == '#' && r.bytes[4] == 'K');
    });
    EXPECT_EQ(afterHandshakes, 4);
    dll_fn_Close_Readfile();
}

// Over every backend: a block that comes short is filled with zeros, never
// with what an earlier read left in the library's buffers.
TEST_F(FileTransfer, ShortDataBlockIsZeroFilledNotEarlierData) {
    ASSERT_EQ(Upload(Record("a", "A", "DAT", 1024), std::vector<uint8_t>(1024, 0xEE)), 0);
    ASSERT_EQ(Upload(Record("b", "B", "DAT", 1024), std::vector<uint8_t>(1024, 0x11)), 0);
    ASSERT_EQ(Refresh(), 0);
    FileRecord unused{};
    std::vector<uint8_t> got(1024);
    ASSERT_EQ(dll_fn_Open_Readfile(unused, 0, 0), 0);
    ASSERT_EQ(dll_fn_Read_file(got.data(), 1024), 0);
    dll_fn_Close_Readfile();
    ASSERT_EQ(dll_fn_Open_Readfile(unused, 0, 1), 0);
    Player().ShortenNextDataTransfer(100);
    ASSERT_EQ(dll_fn_Read_file(got.data(), 1024), 0);
    dll_fn_Close_Readfile();
    std::vector<uint8_t> expected(100, 0x11);
    expected.resize(512, 0);
    expected.resize(1024, 0x11);
    EXPECT_EQ(got, expected);
}

TEST_F(FileTransfer, ReadFilePositionIsBigEndian) {
    FileRecord unused{};
    dll_fn_Open_Readfile(unused, 0, 300);
    dll_fn_Close_Readfile();
    const auto commands = Commands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands[0], Block({0x23, 0, 6, 0x3A, 0x4D, 0x52, 0x01, 0x2C, 0x2E}));
}

struct RefusalCase {
    const char* name;
    uint8_t errorCode;
    int result;
};

class WriteRefusals : public FileTransfer, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(WriteRefusals, MapErrorCodes) {
    Player().RefuseNextCommand(GetParam().errorCode);
    EXPECT_EQ(dll_fn_Open_Writefile(Record("x", "X", "DAT", 1), 0), GetParam().result);
    const uint8_t byte = 1;
    Player().ClearTranscript();
    EXPECT_EQ(dll_fn_Write_file(&byte, 1), 0) << "the refused write left no data phase";
    EXPECT_TRUE(TransfersOn(0x02).empty());
}

INSTANTIATE_TEST_SUITE_P(Codes, WriteRefusals,
                         ::testing::Values(RefusalCase{"NoRoom", 0x27, 6}, RefusalCase{"FolderFull", 0x19, 8},
                                           RefusalCase{"Other", 0x05, 3}),
                         testsupport::CaseName());

TEST_F(FileTransfer, PlayerRefusesWhatDoesNotFitOrExists) {
    Player().SetCapacityUnits(0, 2);
    EXPECT_EQ(dll_fn_Open_Writefile(Record("big", "BIG", "DAT", 3 * 16384), 0), 6);
    ASSERT_EQ(Upload(Record("same", "SAME", "DAT", 1), {7}), 0);
    EXPECT_EQ(dll_fn_Open_Writefile(Record("same", "SAME", "DAT", 1), 0), 8);
}

TEST_F(FileTransfer, NameTooLongForTheBlockIsRefusedBeforeAnythingIsSent) {
    EXPECT_EQ(dll_fn_Open_Writefile(Record(std::string(190, 'n'), "N", "DAT", 1), 0), 5);
    EXPECT_TRUE(Player().GetTranscript().Entries().empty());
}

TEST_F(FileTransfer, DataPastTheAnnouncedSizeIsRefusedUnsent) {
    const auto data = Pattern(65536);
    ASSERT_EQ(dll_fn_Open_Writefile(Record("over", "OVER", "DAT", 32768), 0), 0);
    Player().ClearTranscript();
    EXPECT_EQ(dll_fn_Write_file(data.data(), 65536), 4);
    EXPECT_TRUE(TransfersOn(0x02).empty()) << "the player would take its second half for commands";
    EXPECT_EQ(dll_fn_Write_file(data.data(), 32768), 0) << "the data phase stays open";
    dll_fn_Close_Writefile();
    EXPECT_EQ(Player().FileData(0, "/over"), std::vector<uint8_t>(data.begin(), data.begin() + 32768));
}

TEST_F(FileTransfer, FailedDataWriteCancelsAndEndsThePhase) {
    const auto data = Pattern(65536);
    ASSERT_EQ(dll_fn_Open_Writefile(Record("cut", "CUT", "DAT", 65536), 0), 0);
    Player().FailNextTransfers(1);
    EXPECT_EQ(dll_fn_Write_file(data.data(), 65536), 4);
    EXPECT_EQ(Player().CancelRequestCount(), 1);
    ASSERT_EQ(Refresh(), 0);
    EXPECT_EQ(Find("cut"), nullptr) << "no half file in the listing";
    EXPECT_EQ(dll_fn_Cancel(), 9);
}

TEST_F(FileTransfer, DisconnectMidWriteFailsAndNextExportFindsNoPlayer) {
    const auto data = Pattern(65536);
    ASSERT_EQ(dll_fn_Open_Writefile(Record("gone", "GONE", "DAT", 65536), 0), 0);
    Player().DetachAfterDataBytes(20000);
    EXPECT_EQ(dll_fn_Write_file(data.data(), 65536), 4);
    EXPECT_EQ(dll_fn_get_player_status(), 1);
}

TEST_F(FileTransfer, FailedReadCancelsAndEndsThePhase) {
    ASSERT_EQ(Upload(Record("r", "R", "DAT", 5000), Pattern(5000)), 0);
    ASSERT_EQ(Refresh(), 0);
    FileRecord unused{};
    ASSERT_EQ(dll_fn_Open_Readfile(unused, 0, 0), 0);
    Player().FailNextTransfers(1);
    std::vector<uint8_t> got(5000);
    EXPECT_EQ(dll_fn_Read_file(got.data(), 5000), 3);
    EXPECT_EQ(Player().CancelRequestCount(), 1);
    Player().ClearTranscript();
    EXPECT_EQ(dll_fn_Read_file(got.data(), 5000), 3);
    EXPECT_TRUE(Player().GetTranscript().Entries().empty());
}

TEST_F(FileTransfer, DataCallsWithoutPhaseSendNothing) {
    uint8_t buffer[16] = {};
    EXPECT_EQ(dll_fn_Write_file(buffer, 16), 0);
    EXPECT_EQ(dll_fn_Read_file(buffer, 16), 3);
    EXPECT_EQ(dll_fn_Close_Readfile(), 0);
    EXPECT_TRUE(Player().GetTranscript().Entries().empty());
}

TEST_F(FileTransfer, CancelEndsAWriteAndLeavesNoHalfFile) {
    const auto data = Pattern(20000);
    ASSERT_EQ(dll_fn_Open_Writefile(Record("half", "HALF", "DAT", 40000), 0), 0);
    ASSERT_EQ(dll_fn_Write_file(data.data(), 16384), 0);
    EXPECT_EQ(dll_fn_Cancel(), 0);
    ASSERT_EQ(Refresh(), 0);
    EXPECT_EQ(Find("half"), nullptr);
}

struct NameCase {
    const char* name;
    const char* codePage;
    std::string longName;
    std::string utf8Name;
};

class LongNames : public FileTransfer, public ::testing::WithParamInterface<NameCase> {
protected:
    void TearDown() override {
        platform::SetCodePage("");
        FileTransfer::TearDown();
    }
};

TEST_P(LongNames, SurviveTheRoundTrip) {
    const auto& c = GetParam();
    platform::SetCodePage(c.codePage);
    // An MP3 is stored with its 2,080-byte title trailer; listings leave it out.
    const auto data = Pattern(777 + 2080);
    ASSERT_EQ(Upload(Record(c.longName, "LONGNA~1", "MP3", 777 + 2080), data), 0);
    EXPECT_TRUE(Player().FileData(0, c.utf8Name).has_value()) << "stored under its UTF-16 name";
    ASSERT_EQ(Refresh(), 0);
    const FileRecord* record = Find(c.longName);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->size, 777u);
    EXPECT_EQ(record->headerFlag, 1);
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, LongNames,
    ::testing::Values(NameCase{"Ascii", "UTF-8", "A rather long track name, take 2.mp3",
                               "/A rather long track name, take 2.mp3"},
                      NameCase{"Japanese", "CP932", "\x89\xb9\x8a\x79\x82\xcc\x8b\xc8.mp3",
                               "/\xe9\x9f\xb3\xe6\xa5\xbd\xe3\x81\xae\xe6\x9b\xb2.mp3"},
                      NameCase{"Korean", "CP949", "\xc0\xbd\xbe\xc7 \xc6\xc4\xc0\xcf.mp3",
                               "/\xec\x9d\x8c\xec\x95\x85 \xed\x8c\x8c\xec\x9d\xbc.mp3"}),
    testsupport::CaseName());

} // namespace

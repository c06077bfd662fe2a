// Downloads through the device API: files come back exactly as they were
// uploaded, music without its title trailer and voice recordings as WAV
// files, whatever the pieces they are read in.
#include "platform/system/debug_output.h"
#include "tests/integration/plrapi/transfer_session.h"
#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using testsupport::PcFile;

struct RoundTripCase {
    const char* name;
    std::string extension;
    std::vector<uint8_t> data;
    size_t piece;
    friend void PrintTo(const RoundTripCase& c, std::ostream* out) { *out << c.name; }
};

class RoundTrip : public testsupport::TransferSessionTest, public ::testing::WithParamInterface<RoundTripCase> {};

// The header in front of a voice file whose WAV data is `data` bytes.
std::vector<uint8_t> WavHeader(uint32_t data) {
    std::vector<uint8_t> header{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 20, 0, 0, 0,
                                0x11, 0, 1, 0, 0x40, 0x1F, 0, 0, 0xA0, 0x0F, 0, 0, 0, 1, 4, 0, 2, 0, 0xF9, 1,
                                'd', 'a', 't', 'a', 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        header[4 + i] = static_cast<uint8_t>((data + 40) >> (8 * i));
        header[44 + i] = static_cast<uint8_t>(data >> (8 * i));
    }
    return header;
}

TEST_P(RoundTrip, ReturnsWhatWasUploaded) {
    const auto& c = GetParam();
    ASSERT_EQ(List(), 1);
    PcFile upload("round trip", c.extension, c.data.size());
    ASSERT_EQ(UploadFile(upload, c.data), 1);

    // The file as the listing shows it, read right after the upload.
    PcFile wanted("round trip", c.extension, 0);
    const bool voice = c.extension == "adp";
    const unsigned long stored = voice ? testsupport::VoiceBlocks(c.data).size() : c.data.size();
    Player().ClearTranscript();
    const auto read = DownloadFile(wanted, stored, c.piece);
    ASSERT_TRUE(read.has_value());
    if (voice) {
        auto expected = WavHeader(static_cast<uint32_t>(c.data.size() - 48));
        expected.insert(expected.end(), c.data.begin() + 48, c.data.end());
        EXPECT_TRUE(*read == expected);
    } else {
        EXPECT_TRUE(*read == c.data);
    }
    EXPECT_EQ(Player().CancelRequestCount(), 0);
}

std::vector<uint8_t> Data(size_t size) { return testsupport::Pattern(size, 5); }
std::vector<uint8_t> Voice(size_t dataBytes) { return testsupport::Recording(dataBytes); }

INSTANTIATE_TEST_SUITE_P(
    Pieces, RoundTrip,
    ::testing::Values(RoundTripCase{"MusicInChunks", "mp3", Data(100000), 32768},
                      RoundTripCase{"MusicInOddPieces", "mp3", Data(100000), 7777},
                      RoundTripCase{"MusicEndingOnAChunk", "wma", Data(65536), 32768},
                      RoundTripCase{"MusicWholeTrailerBeyondAChunk", "mp3", Data(31000), 31000},
                      RoundTripCase{"TextWhole", "txt", Data(65541), 65541},
                      RoundTripCase{"TextInOddPieces", "txt", Data(65541), 1000},
                      RoundTripCase{"VoiceWhole", "adp", Voice(600), 612},
                      RoundTripCase{"VoiceInOddPieces", "adp", Voice(70000), 333},
                      RoundTripCase{"VoiceInChunks", "adp", Voice(70000), 32768}),
    testsupport::CaseName());

struct RequestCase {
    const char* name;
    size_t size;
    std::vector<size_t> pieces;
    std::vector<size_t> blocks;   // 512-byte blocks each piece takes from the player
    friend void PrintTo(const RequestCase& c, std::ostream* out) { *out << c.name; }
};

class TrailerRequests : public testsupport::TransferSessionTest, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(TrailerRequests, TakeWholeBlocksAndTheTrailerWithTheLastPieceOnly) {
    const auto& c = GetParam();
    const auto data = Data(c.size);
    ASSERT_EQ(UploadTuneAndOpenIt(data), 1);
    std::vector<uint8_t> buffer(32768);
    size_t at = 0;
    for (size_t i = 0; i < c.pieces.size(); ++i) {
        Player().ClearTranscript();
        long length = static_cast<long>(c.pieces[i]);
        ASSERT_EQ(api->PlrReadFileBlock(buffer.data(), &length, 0), 1);
        EXPECT_EQ(length, static_cast<long>(c.pieces[i]));
        EXPECT_TRUE(std::equal(buffer.data(), buffer.data() + length, data.data() + at));
        at += c.pieces[i];
        EXPECT_EQ(BlocksRead(), c.blocks[i]) << "piece " << i;
    }
    EXPECT_EQ(api->PlrCloseReadFile(), 1);
    EXPECT_EQ(Player().CancelRequestCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, TrailerRequests,
    ::testing::Values(RequestCase{"OneRequestBelowAChunk", 40000, {32768, 7232}, {64, (7232 + 2080 + 511) / 512}},
                      RequestCase{"AChunkAndTheRest", 31000, {31000}, {64 + 1}},
                      RequestCase{"EndingOnAChunk", 65536, {32768, 32768}, {64, 64}},
                      // 1,024 bytes read, 24 kept; 6,976 needed, 7,168 read; 808 and the trailer.
                      RequestCase{"OddPiecesCarryTheirLastBlock", 9000, {1000, 7000, 1000},
                                  {2, 14, (808 + 2080 + 511) / 512}}),
    testsupport::CaseName());

class Download : public testsupport::TransferSessionTest {};

TEST_F(Download, ClosedBeforeTheEndIsCancelled) {
    const auto data = Data(100000);
    ASSERT_EQ(UploadTuneAndOpenIt(data), 1);
    std::vector<uint8_t> buffer(32768);
    long length = 32768;
    ASSERT_EQ(api->PlrReadFileBlock(buffer.data(), &length, 0), 1);
    EXPECT_EQ(api->PlrCloseReadFile(), 1);
    EXPECT_EQ(Player().CancelRequestCount(), 1);
    EXPECT_EQ(Player().PendingReplies(), 0u);
}

TEST_F(Download, VoiceRecordingWithoutDataComesBackAsItsHeader) {
    const auto recording = Voice(0);
    ASSERT_EQ(List(), 1);
    PcFile upload("silence", "adp", recording.size());
    ASSERT_EQ(UploadFile(upload, recording), 1);
    PcFile wanted("silence", "adp", 0);
    ASSERT_EQ(api->PlrReadFileStart(0), 1);
    ASSERT_EQ(api->PlrReadFileInfo(&wanted), 1);
    std::vector<uint8_t> buffer(32768 + 256 + 48);
    long length = 32768;
    ASSERT_EQ(api->PlrReadFileBlock(buffer.data(), &length, 0), 1);
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + length), WavHeader(0));
    EXPECT_EQ(api->PlrCloseReadFile(), 1);
    EXPECT_EQ(Player().CancelRequestCount(), 0);
}

TEST_F(Download, NamesNotListedAndFoldersAreNotRead) {
    ASSERT_TRUE(Player().MakeFolder(0, "/album"));
    ASSERT_TRUE(Player().PutFile(0, "/after.mp3", Pattern(10)));
    ASSERT_EQ(List(), 1);
    MakeLastError(13);
    Player().ClearTranscript();
    ASSERT_EQ(api->PlrReadFileStart(0), 1);
    PcFile folder("album", "", 0);
    PcFile missing("after", "mp4", 0);
    EXPECT_EQ(api->PlrReadFileInfo(&folder), 0);
    EXPECT_EQ(api->PlrReadFileInfo(&missing), 0);
    EXPECT_EQ(api->PlrGetLastError(), 13);
    EXPECT_TRUE(NothingSent());
}

TEST_F(Download, ReportsEachReadInTheDebugOutput) {
    const auto data = Data(70000);
    ASSERT_EQ(List(), 1);
    PcFile file("tune", "mp3", data.size());
    ASSERT_EQ(UploadFile(file, data), 1);
    setenv("KVX512_DEBUG", "1", 1);
    platform::ReadDebugSwitch();
    ::testing::internal::CaptureStderr();
    const auto read = DownloadFile(file, data.size(), 32768);
    const std::string output = ::testing::internal::GetCapturedStderr();
    unsetenv("KVX512_DEBUG");
    platform::ReadDebugSwitch();
    ASSERT_TRUE(read.has_value());
    std::string texts;
    const std::regex text("={19}[0-9]+/[0-9]+( \n)?");
    for (auto it = std::sregex_iterator(output.begin(), output.end(), text); it != std::sregex_iterator(); ++it) {
        texts += it->str();
    }
    EXPECT_EQ(texts, std::string(19, '=') + "32768/70000 \n" + std::string(19, '=') + "65536/70000 \n" +
                         std::string(19, '=') + "70000/70000");
}

// A recording made by ffmpeg comes back as a WAV file sox reads as one.
TEST_F(Download, VoiceIsAWavFileSoxReads) {
    if (std::system("command -v sox >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "sox is not installed";
    }
    const auto recording = testsupport::DataFile("voice.wav");
    ASSERT_EQ(recording.size(), 2096u);
    ASSERT_EQ(List(), 1);
    PcFile file("memo", "adp", recording.size());
    ASSERT_EQ(UploadFile(file, recording), 1);
    const auto read = DownloadFile(file, testsupport::VoiceBlocks(recording).size(), 32768);
    ASSERT_TRUE(read.has_value());

    char path[] = "/tmp/plrapi_voice_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, read->data(), read->size()), static_cast<ssize_t>(read->size()));
    close(fd);
    const std::string command = std::string("sox --i '") + path + "' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    ASSERT_TRUE(pipe);
    std::string report;
    char line[256];
    while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
        report += line;
    }
    pipe.reset();
    std::remove(path);
    EXPECT_NE(report.find("Sample Encoding: 4-bit IMA ADPCM"), std::string::npos) << report;
    EXPECT_NE(report.find("Sample Rate    : 8000"), std::string::npos) << report;
    EXPECT_NE(report.find("Channels       : 1"), std::string::npos) << report;
    EXPECT_NE(report.find("= 4040 samples"), std::string::npos) << report;
}

} // namespace

#include "platform/system/message_box.h"
#include "tests/support/sim_fixture.h"
#include "usblink/usb_link.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace {

using kvx512sim::TranscriptEntry;
using ScanLog = std::vector<std::pair<uint16_t, uint16_t>>;

class UsbLinkTest : public testsupport::SimPlayerTest {
protected:
    void SetUp() override {
        SimPlayerTest::SetUp();
        platform::SetMessageBoxSink([this](const std::string& text, const std::string& caption,
                                           platform::MessageBoxIcon icon) {
            boxes.push_back({text, caption});
            EXPECT_EQ(icon, platform::MessageBoxIcon::Warning);
        });
    }
    void TearDown() override { platform::SetMessageBoxSink({}); }

    std::vector<std::pair<std::string, std::string>> boxes;
    usblink::Link link{usblink::PortioSettings};
};

TEST_F(UsbLinkTest, OpenRunsInterfaceHaltsAndHandshakeInOrder) {
    usblink::UsbLink* opened = link.OpenLink();
    ASSERT_NE(opened, nullptr);
    link.CloseLink(opened);

    const auto entries = Player().GetTranscript().Entries();
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].kind, TranscriptEntry::Kind::SetInterface);
    // Pipe halts: 0x82 then 0x83, OUT with option 1, no buffer, the read time-out.
    for (int i : {1, 2}) {
        EXPECT_EQ(entries[i].pipe, i == 1 ? 0x82u : 0x83u);
        EXPECT_FALSE(entries[i].in);
        EXPECT_EQ(entries[i].options, 1u);
        EXPECT_EQ(entries[i].requested, 0u);
        EXPECT_EQ(entries[i].timeoutMs, 30000u);
    }
    EXPECT_EQ(entries[3].pipe, 0x02u);
    EXPECT_EQ(entries[3].bytes, Block({0x23, 0, 3, 0x3A, 0x59, 0x2E}));
    EXPECT_EQ(entries[3].timeoutMs, 20000u);
    EXPECT_EQ(entries[4].pipe, 0x83u);
    EXPECT_TRUE(entries[4].in);
    EXPECT_EQ(entries[4].requested, 512u);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(Bus().ScanLog(), (ScanLog{{0x0F9C, 0x0301}}));
}

struct FallbackCase {
    uint16_t productId;
    ScanLog portioScans;
    bool updaterFinds;
};

class ProductFallback : public UsbLinkTest, public ::testing::WithParamInterface<FallbackCase> {};

TEST_P(ProductFallback, ScansInOrderUntilOneAnswers) {
    Player().SetProductId(GetParam().productId);
    usblink::UsbLink* opened = link.OpenLink();
    EXPECT_NE(opened, nullptr);
    link.CloseLink(opened);
    EXPECT_EQ(Bus().ScanLog(), GetParam().portioScans);

    Bus().ClearLogs();
    usblink::Link updater(usblink::UpdaterSettings);
    usblink::UsbLink* updaterLink = updater.OpenLink();
    EXPECT_EQ(updaterLink != nullptr, GetParam().updaterFinds);
    updater.CloseLink(updaterLink);
    EXPECT_EQ(Bus().ScanLog(), (ScanLog{{0x0F9C, 0x0301}})) << "the updater scans 0x0301 only";
}

INSTANTIATE_TEST_SUITE_P(
    ProductIds, ProductFallback,
    ::testing::Values(FallbackCase{0x0301, {{0x0F9C, 0x0301}}, true},
                      FallbackCase{0x1001, {{0x0F9C, 0x0301}, {0x0F9C, 0x1001}}, false},
                      FallbackCase{0x0321, {{0x0F9C, 0x0301}, {0x0F9C, 0x1001}, {0x0F9C, 0x0321}}, false}));

TEST_F(UsbLinkTest, UnknownProductOrDetachedPlayerIsNotOpened) {
    Player().SetProductId(0x0302);
    EXPECT_EQ(link.OpenLink(), nullptr);
    EXPECT_EQ(Bus().ScanLog().size(), 3u);
    Player().SetProductId(0x0301);
    Player().Detach();
    EXPECT_EQ(link.OpenLink(), nullptr);
    EXPECT_TRUE(Player().GetTranscript().Writes().empty());
}

class UnusableHandshakes : public UsbLinkTest, public ::testing::WithParamInterface<int> {};

TEST_P(UnusableHandshakes, FiveAttemptsAtMost) {
    const int unusable = GetParam();
    Player().UnusableHandshakeReplies(unusable);
    usblink::UsbLink* opened = link.OpenLink();
    EXPECT_EQ(opened != nullptr, unusable < 5);
    link.CloseLink(opened);
    EXPECT_EQ(Writes().size(), static_cast<size_t>(std::min(unusable + 1, 5)));
}

INSTANTIATE_TEST_SUITE_P(Counts, UnusableHandshakes, ::testing::Values(0, 1, 4, 5, 6));

TEST_F(UsbLinkTest, GarbageHandshakeCountsAsUnusable) {
    Player().GarbageReplies(5);
    EXPECT_EQ(link.OpenLink(), nullptr);
    EXPECT_EQ(Writes().size(), 5u);
}

TEST_F(UsbLinkTest, FailedHandshakeTransferFailsAtOnce) {
    // The two halts fail unnoticed, then the handshake write fails: no read follows.
    Player().FailNextTransfers(3);
    EXPECT_EQ(link.OpenLink(), nullptr);
    const auto transfers = Player().GetTranscript().Transfers();
    ASSERT_EQ(transfers.size(), 3u);
    EXPECT_EQ(transfers[2].pipe, 0x02u);
    EXPECT_EQ(transfers[2].status, kvx512sim::UsbStatus::Failed);
}

TEST_F(UsbLinkTest, OldOrSilentDriverWarnsEachOpenButStillOpens) {
    Bus().SetDriverVersion(599);
    for (int i = 0; i < 2; ++i) {
        usblink::UsbLink* opened = link.OpenLink();
        EXPECT_NE(opened, nullptr);
        link.CloseLink(opened);
    }
    Bus().SetDriverVersion(1100, true);
    link.CloseLink(link.OpenLink());
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].first, "You are using previous version driver.\\Please use WinDriver 6.0 or higher version.");
    EXPECT_EQ(boxes[0].second, "Warning - Version");

    boxes.clear();
    Bus().SetDriverVersion(600);
    link.CloseLink(link.OpenLink());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(UsbLinkTest, MissingDriverFailsEveryRequest) {
    usblink::UsbLink* opened = link.OpenLink();
    ASSERT_NE(opened, nullptr);
    Bus().SetDriverAvailable(false);
    EXPECT_EQ(link.OpenLink(), nullptr);
    uint8_t buffer[512] = {};
    EXPECT_EQ(link.BulkWrite(opened, 2, buffer, 512), -1);
    EXPECT_EQ(link.BulkRead(opened, 3, buffer, 512), -1);
    link.CloseLink(opened);
}

TEST_F(UsbLinkTest, TimeoutsReachEveryTransfer) {
    usblink::UsbLink* opened = link.OpenLink();
    ASSERT_NE(opened, nullptr);
    Player().ClearTranscript();
    link.SetTimeouts(5000, 7000);
    uint8_t block[512] = {'#', 0, 3, ':', 'Y', '.'};
    EXPECT_EQ(link.BulkWrite(opened, 2, block, 512), 512);
    EXPECT_EQ(link.BulkRead(opened, 3, block, 512), 512);
    link.SendCancelRequest(opened);
    link.HaltPipe(opened, 3);
    link.CloseLink(opened);

    const auto transfers = Player().GetTranscript().Transfers();
    ASSERT_EQ(transfers.size(), 4u);
    EXPECT_EQ(transfers[0].timeoutMs, 7000u);
    EXPECT_EQ(transfers[1].timeoutMs, 5000u);
    EXPECT_EQ(transfers[2].timeoutMs, 7000u);
    EXPECT_EQ(transfers[3].timeoutMs, 5000u);
    // The cancel request: control pipe, vendor request 1, nothing else.
    EXPECT_EQ(transfers[2].pipe, 0u);
    EXPECT_EQ(transfers[2].setup, (std::array<uint8_t, 8>{0x40, 0x01, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(transfers[2].requested, 0u);
    EXPECT_EQ(Player().CancelRequestCount(), 1);
    // Each link layer keeps its own time-outs.
    const usblink::Link updater(usblink::UpdaterSettings);
    EXPECT_EQ(updater.ReadTimeout(), 300000u);
    EXPECT_EQ(updater.WriteTimeout(), 100000u);
}

TEST_F(UsbLinkTest, WithheldReplyTakesTheWholeTimeout) {
    usblink::UsbLink* opened = link.OpenLink();
    ASSERT_NE(opened, nullptr);
    link.SetTimeouts(300, 300);
    Player().WithholdReplies(1);
    uint8_t block[512] = {'#', 0, 3, ':', 'Y', '.'};
    ASSERT_EQ(link.BulkWrite(opened, 2, block, 512), 512);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link.BulkRead(opened, 3, block, 512), -1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    link.CloseLink(opened);
}

} // namespace

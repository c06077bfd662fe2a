#include "platform/window/window_messages.h"
#include "portio.h"
#include "portio/protocol_session.h"
#include "tests/support/sim_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace {

class CancelTest : public testsupport::SimPlayerTest {};

TEST_F(CancelTest, WithoutLinkReturnsNineAtOnceAndSendsNothing) {
    portio::Session().CloseCurrentLink();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(dll_fn_Cancel(), 9);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_TRUE(Player().GetTranscript().Entries().empty());
}

TEST_F(CancelTest, PumpsThreadMessagesThenSendsCancelAndCloses) {
    std::vector<platform::UINT> delivered;
    platform::HWND window = platform::CreateMessageWindow(
        [&](platform::HWND, platform::UINT message, platform::WPARAM, platform::LPARAM) -> platform::LRESULT {
            delivered.push_back(message);
            return 0;
        });
    ASSERT_TRUE(portio::Session().OpenCurrentLink());
    Player().ClearTranscript();
    platform::PostMessage(window, platform::WM_USER + 5, 0, 0);
    platform::PostMessage(window, platform::WM_CLOSE, 0, 0);
    platform::PostMessage(nullptr, platform::WM_USER + 6, 0, 0);
    platform::PostMessage(window, platform::WM_DESTROY, 0, 0);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(dll_fn_Cancel(), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));

    EXPECT_EQ(delivered, (std::vector<platform::UINT>{platform::WM_USER + 5}));
    platform::MSG left;
    EXPECT_FALSE(platform::PeekMessage(left, true)) << "every message was taken from the queue";
    EXPECT_EQ(portio::Session().CurrentLink(), nullptr);
    const auto transfers = Player().GetTranscript().Transfers();
    ASSERT_EQ(transfers.size(), 1u);
    EXPECT_EQ(transfers[0].pipe, 0u);
    EXPECT_EQ(transfers[0].setup, (std::array<uint8_t, 8>{0x40, 0x01, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Player().CancelRequestCount(), 1);
    EXPECT_EQ(dll_fn_Cancel(), 9);
    platform::DestroyMessageWindow(window);
}

} // namespace

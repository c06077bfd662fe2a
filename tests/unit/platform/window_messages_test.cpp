#include "platform/window/window_messages.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using namespace platform;

TEST(WindowMessages, SentFromOwnerThreadArriveAtOncePostedWaitForPump) {
    std::vector<UINT> seen;
    HWND window = CreateMessageWindow([&](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        seen.push_back(message);
        return 7;
    });
    EXPECT_EQ(SendMessage(window, WM_USER + 1, 0, 0), 7);
    EXPECT_TRUE(PostMessage(window, WM_USER + 2, 0, 0));
    EXPECT_EQ(seen, (std::vector<UINT>{WM_USER + 1}));
    MSG message;
    ASSERT_TRUE(PeekMessage(message, true));
    EXPECT_EQ(message.message, WM_USER + 2u);
    EXPECT_FALSE(PeekMessage(message, true));
    DestroyMessageWindow(window);
    EXPECT_FALSE(IsWindow(window));
}

TEST(WindowMessages, SentFromAnotherThreadRunOnOwnerWhenItPumps) {
    std::thread::id ranOn;
    HWND window = CreateMessageWindow([&](HWND, UINT, WPARAM wParam, LPARAM) -> LRESULT {
        ranOn = std::this_thread::get_id();
        return static_cast<LRESULT>(wParam * 2);
    });
    LRESULT result = 0;
    std::thread sender([&] { result = SendMessage(window, WM_USER, 21, 0); });
    MSG message;
    while (ranOn == std::thread::id{}) {
        PeekMessage(message, true);
        std::this_thread::yield();
    }
    sender.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_EQ(result, 42);
    DestroyMessageWindow(window);
}

} // namespace

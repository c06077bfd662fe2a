// Window messages without a window system. A window here is a handle with a
// procedure, owned by the thread that created it. Sent messages reach the
// procedure synchronously: at once on the owner's thread, or, from another
// thread, when the owner next pumps its queue while the sender waits. Posted
// messages wait in the owner thread's queue until it pumps.
#pragma once

#include <cstdint>
#include <functional>

struct PlatformWindow;   // opaque; the C header of portio names it too

namespace platform {

using HWND = PlatformWindow*;
using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_USER = 0x0400;

struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

using WindowProcedure = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

// Creates a window owned by the calling thread.
HWND CreateMessageWindow(WindowProcedure procedure);
// Destroys it; messages still queued for it are dropped.
void DestroyMessageWindow(HWND window);
bool IsWindow(HWND window);

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Queues for the window's owner thread; with no window, for the calling thread.
bool PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Takes the next message of the calling thread's queue, if any. Sent messages
// from other threads waiting for this thread are delivered first.
bool PeekMessage(MSG& message, bool remove);
// Delivers every sent message other threads are waiting on.
void DeliverSentMessages();

} // namespace platform

// Drag detection fed by the thread's messages: the messages a user's hand
// makes are posted to the window and the clock is the test's.
#include <gtest/gtest.h>

#include <deque>

#include "UWinDragDetect.h"

namespace qm {
namespace {

using namespace std::chrono_literals;

// A window to press on, at (300, 300) on the screen, and the left button
// held in this thread's key state for the test's duration.
class DragDetect : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QuillmarkTestPress";
        RegisterClassExW(&wc);
        Window = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 300, 300, 200, 200, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(Window, nullptr);
        SetButton(true);
    }
    void TearDown() override {
        SetButton(false);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        DestroyWindow(Window);
    }
    static void SetButton(bool down) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_LBUTTON] = down ? 0x80 : 0;
        SetKeyboardState(keys);
    }
    // The clock answers these times in turn, then the last one again.
    TDragTimeSource Clock(std::deque<TDragTime::duration> offsets) {
        return [offsets = std::move(offsets), start = TDragClock::now()]() mutable {
            const auto offset = offsets.front();
            if (offsets.size() > 1) offsets.pop_front();
            return start + offset;
        };
    }
    void Post(UINT message, WPARAM wParam, LPARAM lParam = 0) { PostMessageW(Window, message, wParam, lParam); }

    HWND Window = nullptr;
    // The press, in the window's client coordinates.
    const POINT Press{10, 10};
};

TEST_F(DragDetect, NoButtonHeldIsNoDrag) {
    SetButton(false);
    Post(WM_MOUSEMOVE, 0, MAKELPARAM(100, 100));
    EXPECT_FALSE(DetectDragStart(Window, Press, Clock({0ms, 300ms})));
}

TEST_F(DragDetect, ReleaseEndsTheWaitAndStaysQueuedForTheWindow) {
    Post(WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_FALSE(DetectDragStart(Window, Press, Clock({0ms})));
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, Window, WM_LBUTTONUP, WM_LBUTTONUP, PM_NOREMOVE));
    EXPECT_NE(GetCapture(), Window);
}

TEST_F(DragDetect, MoveOutOfTheDragRectangleAfterTheStartDelayDrags) {
    Post(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 60));
    EXPECT_TRUE(DetectDragStart(Window, Press, Clock({0ms, 300ms})));
    EXPECT_NE(GetCapture(), Window);
}

TEST_F(DragDetect, MoveWithinTheStartDelayDecidesNothingAndEscEnds) {
    Post(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 60));
    Post(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_FALSE(DetectDragStart(Window, Press, Clock({0ms, 100ms, 150ms})));
}

TEST_F(DragDetect, MovesInsideTheDragRectangleDoNotDrag) {
    // Client coordinates of the moves are screen coordinates of the window's
    // corner plus these: back at the press, then just inside the rectangle.
    const int within = std::max(0, GetSystemMetrics(SM_CXDRAG) - 1);
    Post(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 10));
    Post(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10 + within, 10));
    Post(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_FALSE(DetectDragStart(Window, Press, Clock({0ms, 300ms})));
}

TEST_F(DragDetect, PressHeldWithoutInputDragsAfterTheIdleTimeOut) {
    EXPECT_TRUE(DetectDragStart(Window, Press, Clock({0ms, 600ms})));
    EXPECT_NE(GetCapture(), Window);
}

TEST_F(DragDetect, QuitEndsTheWaitAndStaysForTheLoopOutside) {
    PostQuitMessage(7);
    EXPECT_FALSE(DetectDragStart(Window, Press, Clock({0ms})));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

}  // namespace
}  // namespace qm

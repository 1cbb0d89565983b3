#include "UWinDragDetect.h"

#include <algorithm>

#include "UWinDpi.h"

namespace qm {

namespace {

bool ButtonDown(int virtualKey) { return (GetKeyState(virtualKey) & 0x8000) != 0; }

bool IsInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || message == WM_MOUSEMOVE || message == WM_CANCELMODE;
}

// Takes the next key or mouse-move message (or a cancel-mode message) off
// the queue; false when none is waiting. When such a message is the first
// in the queue it is taken, so that keys and moves are seen in the order
// they came; behind other messages, each kind is looked for in turn.
// PeekMessage reports WM_QUIT whatever the filter, so msg may be WM_QUIT.
bool TakeInput(MSG& msg) {
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE) && IsInput(msg.message))
        return PeekMessageW(&msg, nullptr, msg.message, msg.message, PM_REMOVE);
    return PeekMessageW(&msg, nullptr, WM_CANCELMODE, WM_CANCELMODE, PM_REMOVE) ||
           PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE) ||
           PeekMessageW(&msg, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE);
}

TDragDecision Feed(TDragStartDetector& detector, const MSG& msg, TDragTime now) {
    switch (msg.message) {
        case WM_QUIT:
            // Taken by accident with an input filter: the loop outside must
            // still see it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return detector.Cancel();
        case WM_CANCELMODE:
            return detector.Cancel();
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            return detector.KeyPress(msg.wParam == VK_ESCAPE, now);
        case WM_MOUSEMOVE: {
            // Mouse messages carry client coordinates of their window.
            POINT p{static_cast<short>(LOWORD(msg.lParam)), static_cast<short>(HIWORD(msg.lParam))};
            if (msg.hwnd) ClientToScreen(msg.hwnd, &p);
            return detector.MouseMove({p.x, p.y}, now);
        }
        default:
            // Key releases and characters are input too: they restart the idle wait.
            return detector.KeyRelease(now);
    }
}

}  // namespace

TDragSettings SystemDragSettings(HWND window) {
    // The drag rectangle grows with the density of the monitor the press is on.
    const UINT dpi = window != nullptr ? WindowDpi(window) : 0;
    TDragSettings settings;
    settings.DragWidth = std::max(0, SystemMetricAtDpi(SM_CXDRAG, dpi));
    settings.DragHeight = std::max(0, SystemMetricAtDpi(SM_CYDRAG, dpi));
    return settings;
}

bool DetectDragStart(HWND window, POINT point, const TDragTimeSource& now) {
    if (!window || !IsWindow(window)) return false;
    RECT screenRect{}, clientRect{};
    GetWindowRect(window, &screenRect);
    GetClientRect(window, &clientRect);
    if (!PtInRect(&screenRect, point) && PtInRect(&clientRect, point) && !ClientToScreen(window, &point))
        return false;
    if (!ButtonDown(VK_LBUTTON) && !ButtonDown(VK_RBUTTON)) return false;

    const TDragTimeSource clock = now ? now : TDragTimeSource([] { return TDragClock::now(); });
    TDragStartDetector detector({point.x, point.y}, clock(), SystemDragSettings(window));
    SetCapture(window);
    while (detector.Decision() == TDragDecision::Pending) {
        MSG msg;
        if (PeekMessageW(&msg, nullptr, WM_LBUTTONDOWN, WM_MBUTTONDBLCLK, PM_NOREMOVE)) {
            // A button message, or WM_QUIT (reported whatever the filter):
            // either stays queued for the loop outside.
            if (msg.message == WM_QUIT) detector.Cancel();
            else detector.ButtonEvent();
            break;
        }
        if (!TakeInput(msg)) {
            if (GetCapture() == window) {
                using namespace std::chrono;
                const auto left = duration_cast<milliseconds>(detector.IdleDeadline() - clock()).count();
                const DWORD wait = static_cast<DWORD>(std::clamp<long long>(left, 0, 60'000));
                // Wakes for new input or posted messages only, so messages
                // already waiting (paint, timers) do not spin this loop.
                const DWORD woken = MsgWaitForMultipleObjects(0, nullptr, FALSE, wait,
                                                              QS_KEY | QS_MOUSE | QS_POSTMESSAGE | QS_SENDMESSAGE);
                if (woken == WAIT_TIMEOUT) detector.Idle(clock());
                if (detector.Decision() != TDragDecision::Pending) break;
            }
            if (GetCapture() != window) detector.Cancel();
            continue;
        }
        // A quit message is posted again whatever else happened.
        if (msg.message != WM_QUIT && GetCapture() != window) {
            detector.Cancel();
            break;
        }
        Feed(detector, msg, clock());
    }
    if (GetCapture() == window) ReleaseCapture();
    return detector.Decision() == TDragDecision::Drag;
}

}  // namespace qm

// Drag detection on Windows: runs a TDragStartDetector fed by the thread's
// key and mouse messages, with the mouse captured, until it decides.
#pragma once

// First: it reads our colour headers around <windows.h>'s macros.
#include "UWinApi.h"

#include <functional>

#include "UDragDetect.h"

namespace qm {

// Source of the current time; tests may hold it still or move it on.
using TDragTimeSource = std::function<TDragTime()>;

// The settings of this desktop: start delay 200 ms, idle time-out 500 ms,
// drag width and height SM_CXDRAG / SM_CYDRAG at the density of `window`
// (SystemMetricAtDpi; no window: the system's).
TDragSettings SystemDragSettings(HWND window = nullptr);

// True when the user has started a drag with the press at `point` on
// `window` (a window of the calling thread). `point` may be in screen
// coordinates or in the window's client coordinates (it is taken as the
// latter when it lies outside the window's screen rectangle but inside its
// client rectangle; false when it cannot be converted). Answers false at
// once unless the left or right button is down (GetKeyState). Otherwise
// captures the mouse for `window` and takes key and mouse-move messages off
// the thread's queue, feeding them to the detector: a waiting button
// message (left, right or middle, down or up) ends the wait with false and
// stays queued, so a double click still reaches its window; Esc, losing the
// capture (WM_CAPTURECHANGED, WM_CANCELMODE), and WM_QUIT (posted again)
// end it with false; half a second without input decides a drag. The
// capture is released at the end if the window still has it.
// `now` defaults to the steady clock.
bool DetectDragStart(HWND window, POINT point, const TDragTimeSource& now = {});

}  // namespace qm

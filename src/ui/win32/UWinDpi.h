// The density functions of Windows 10 (version 1607 on), looked up at run
// time in user32.dll, so that the program also starts on systems without
// them: there each falls back to the system's density, which is then the
// density of every window of the process.
#pragma once

// First: it reads our colour headers around <windows.h>'s macros.
#include "UWinApi.h"

namespace qm {

// The density of `window` (GetDpiForWindow); without that function, or for
// no window, the screen's (LOGPIXELSY of its device context). 0 when
// neither can be had.
UINT WindowDpi(HWND window) noexcept;

// AdjustWindowRectExForDpi at `dpi`; without it AdjustWindowRectEx, which
// measures the frame at the system's density.
BOOL AdjustWindowRectAtDpi(RECT* rect, DWORD style, BOOL menu, DWORD exStyle, UINT dpi) noexcept;

// GetSystemMetricsForDpi at `dpi`; without it, or for `dpi` 0,
// GetSystemMetrics.
int SystemMetricAtDpi(int index, UINT dpi) noexcept;

}  // namespace qm

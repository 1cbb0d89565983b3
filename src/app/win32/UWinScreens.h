// Windows side of window placement: the monitors of the desktop, a
// window's outer bounds, and the window's pixels per inch.
#pragma once

#include "UWinApi.h"

#include <vector>

#include "UPlacement.h"

namespace qm {

// One TMonitor per display monitor in the order EnumDisplayMonitors lists
// them: Bounds from GetMonitorInfoW's rcMonitor, WorkArea from rcWork,
// Primary from MONITORINFOF_PRIMARY. When the enumeration yields nothing,
// the primary monitor alone (MonitorFromPoint with MONITOR_DEFAULTTOPRIMARY,
// its work area from SystemParametersInfoW(SPI_GETWORKAREA)); empty only
// when the system reports no monitor at all.
std::vector<TMonitor> MonitorsFromSystem();

// The window's outer rectangle (GetWindowRect) as placement sees it;
// HasBorder when the window has a caption or a frame.
TFormBounds FormBoundsOf(HWND window);

// Pixels per inch of `window` (WindowDpi: under per-monitor awareness the
// density of the monitor it is on; before Windows 10 1607 the system's), 96
// when unknown.
int WindowPixelsPerInch(HWND window);

}  // namespace qm

#include "UWinScreens.h"

#include "UGeometry.h"
#include "UQRAsPNG.h"
#include "UWinDpi.h"

namespace qm {

namespace {

TRect ToRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(monitor, &info)) {
        reinterpret_cast<std::vector<TMonitor>*>(data)->push_back(
            {ToRect(info.rcMonitor), ToRect(info.rcWork), (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
    }
    return TRUE;
}

}  // namespace

std::vector<TMonitor> MonitorsFromSystem() {
    std::vector<TMonitor> monitors;
    EnumDisplayMonitors(nullptr, nullptr, &AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    if (!monitors.empty()) return monitors;
    const HMONITOR primary = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (primary == nullptr || !GetMonitorInfoW(primary, &info)) return monitors;
    RECT work = info.rcWork;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    monitors.push_back({ToRect(info.rcMonitor), ToRect(work), true});
    return monitors;
}

TFormBounds FormBoundsOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    TFormBounds form;
    form.Left = r.left;
    form.Top = r.top;
    form.Width = r.right - r.left;
    form.Height = r.bottom - r.top;
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    form.HasBorder = (style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME | WS_DLGFRAME)) != 0;
    return form;
}

int WindowPixelsPerInch(HWND window) {
    const UINT dpi = window != nullptr ? WindowDpi(window) : 0;
    return dpi > 0 ? static_cast<int>(dpi) : kDefaultPixelsPerInch;
}

}  // namespace qm

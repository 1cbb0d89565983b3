#include "UWinDpi.h"

namespace qm {

namespace {

using TGetDpiForWindow = UINT(WINAPI*)(HWND);
using TAdjustWindowRectExForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using TGetSystemMetricsForDpi = int(WINAPI*)(int, UINT);

// user32's function `name` as a `Function`; null where the system has none.
template <typename Function>
Function UserFunction(const char* name) noexcept {
    const HMODULE user = GetModuleHandleW(L"user32.dll");
    if (user == nullptr) return nullptr;
    // Through the generic function pointer type: a FARPROC is converted to
    // the function's real type, as GetProcAddress's documentation does.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(user, name)));
}

// Looked up once, on first use.
struct TDpiFunctions {
    TGetDpiForWindow GetDpiForWindow = UserFunction<TGetDpiForWindow>("GetDpiForWindow");
    TAdjustWindowRectExForDpi AdjustWindowRectExForDpi =
        UserFunction<TAdjustWindowRectExForDpi>("AdjustWindowRectExForDpi");
    TGetSystemMetricsForDpi GetSystemMetricsForDpi = UserFunction<TGetSystemMetricsForDpi>("GetSystemMetricsForDpi");
};

const TDpiFunctions& DpiFunctions() noexcept {
    static const TDpiFunctions functions;
    return functions;
}

UINT ScreenDpi() noexcept {
    const HDC screen = GetDC(nullptr);
    if (screen == nullptr) return 0;
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 0;
}

}  // namespace

UINT WindowDpi(HWND window) noexcept {
    const auto getDpiForWindow = DpiFunctions().GetDpiForWindow;
    if (window != nullptr && getDpiForWindow != nullptr) {
        if (const UINT dpi = getDpiForWindow(window); dpi > 0) return dpi;
    }
    return ScreenDpi();
}

BOOL AdjustWindowRectAtDpi(RECT* rect, DWORD style, BOOL menu, DWORD exStyle, UINT dpi) noexcept {
    if (const auto adjust = DpiFunctions().AdjustWindowRectExForDpi; adjust != nullptr && dpi > 0)
        return adjust(rect, style, menu, exStyle, dpi);
    return AdjustWindowRectEx(rect, style, menu, exStyle);
}

int SystemMetricAtDpi(int index, UINT dpi) noexcept {
    if (const auto metric = DpiFunctions().GetSystemMetricsForDpi; metric != nullptr && dpi > 0)
        return metric(index, dpi);
    return GetSystemMetrics(index);
}

}  // namespace qm

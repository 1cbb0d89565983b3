#include "UImageView.h"

#include <windowsx.h>

#include <mutex>

#include "UErrors.h"
#include "UGdiSurface.h"

namespace qm {

namespace {

void RegisterImageClass(WNDPROC procedure) {
    static std::once_flag once;
    std::call_once(once, [procedure] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        // Double clicks arrive as WM_LBUTTONDBLCLK only with CS_DBLCLKS.
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = procedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        wc.lpszClassName = TImageView::kWindowClass;
        RegisterClassExW(&wc);
    });
}

}  // namespace

TImageView::TImageView(HWND parent, TPoint at) {
    RegisterImageClass(&TImageView::WindowProc);
    CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, at.X, at.Y, 0, 0, parent, nullptr,
                    GetModuleHandleW(nullptr), this);
    if (!FHandle) throw EQuillmarkError("The image window could not be created");
}

TImageView::~TImageView() {
    if (FHandle) {
        SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
        DestroyWindow(FHandle);
    }
}

LRESULT CALLBACK TImageView::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* created = static_cast<TImageView*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        created->FHandle = window;
    }
    auto* view = reinterpret_cast<TImageView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!view) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        view->FHandle = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return view->HandleMessage(message, wParam, lParam);
}

LRESULT TImageView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // the image covers the whole window
        case WM_PAINT: {
            PAINTSTRUCT ps;
            if (HDC dc = BeginPaint(FHandle, &ps)) {
                DrawRGBImage(dc, FImage, TPoint{0, 0});
                EndPaint(FHandle, &ps);
            }
            return 0;
        }
        case WM_PRINTCLIENT:
            DrawRGBImage(reinterpret_cast<HDC>(wParam), FImage, TPoint{0, 0});
            return 0;
        case WM_LBUTTONDOWN:
            MouseDown(TMouseButton::mbLeft, wParam, lParam);
            return 0;
        case WM_RBUTTONDOWN:
            MouseDown(TMouseButton::mbRight, wParam, lParam);
            return 0;
        case WM_MBUTTONDOWN:
            MouseDown(TMouseButton::mbMiddle, wParam, lParam);
            return 0;
        case WM_LBUTTONDBLCLK:
            if (OnDblClick) OnDblClick(*this);
            return 0;
        default:
            return DefWindowProcW(FHandle, message, wParam, lParam);
    }
}

void TImageView::MouseDown(TMouseButton button, WPARAM keys, LPARAM at) {
    if (OnMouseDown) OnMouseDown(*this, {button, (keys & MK_CONTROL) != 0, {GET_X_LPARAM(at), GET_Y_LPARAM(at)}});
}

void TImageView::SetImage(TRGBImage image) {
    FImage = std::move(image);
    if (!FHandle) return;
    SetWindowPos(FHandle, nullptr, 0, 0, FImage.Width, FImage.Height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(FHandle, nullptr, FALSE);
}

void TImageView::MoveTo(TPoint at) {
    if (FHandle) SetWindowPos(FHandle, nullptr, at.X, at.Y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace qm

// TImageView: a child window of its own class that shows an RGB raster (the
// QR image) at its pixel size, drawn with StretchDIBits in colour-on-colour
// mode, and reports presses and double clicks on it (for the file drag and
// the shell "open" of the dialog).
//
// Events are called from the window procedure and must not throw.
#pragma once

// First: it reads our colour headers around <windows.h>'s macros.
#include "UWinApi.h"

#include <functional>

#include "UGeometry.h"
#include "URGBImage.h"

namespace qm {

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// A press on the image: the button, whether Ctrl was held (MK_CONTROL) and
// the point in the image's client coordinates.
struct TImageMouse {
    TMouseButton Button = TMouseButton::mbLeft;
    bool Ctrl = false;
    TPoint At;
};

class TImageView {
public:
    static constexpr const wchar_t* kWindowClass = L"QuillmarkImageView";

    // A visible child of `parent` (not null) with its top-left corner at
    // `at`, empty until SetImage. Raises EQuillmarkError when the window
    // cannot be created.
    TImageView(HWND parent, TPoint at);
    ~TImageView();
    TImageView(const TImageView&) = delete;
    TImageView& operator=(const TImageView&) = delete;

    // The window; null once it has been destroyed with its parent.
    HWND Handle() const noexcept { return FHandle; }
    const TRGBImage& Image() const noexcept { return FImage; }
    // Shows `image` and sizes the window to it (one screen pixel per image
    // pixel).
    void SetImage(TRGBImage image);
    // Moves the window (parent's client coordinates).
    void MoveTo(TPoint at);

    std::function<void(TImageView& view, const TImageMouse& mouse)> OnMouseDown;
    std::function<void(TImageView& view)> OnDblClick;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void MouseDown(TMouseButton button, WPARAM keys, LPARAM at);

    HWND FHandle = nullptr;
    TRGBImage FImage;
};

}  // namespace qm

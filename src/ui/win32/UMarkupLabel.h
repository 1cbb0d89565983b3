// TMarkupLabel on Windows: a child window of its own class that paints a
// small subset of HTML (UHTMLText) through GDI, with clickable links, the
// hand cursor over them, hover highlighting, hints and inline pictures.
//
// Keyboard and screen readers: the label takes the keyboard focus on one of
// its anchors when its owner gives it (FocusAnchor, e.g. in the owner's Tab
// order), draws a focus frame around that anchor, and acts on Enter and
// Space as a left click on it does. Its object for screen readers
// (WM_GETOBJECT) is static text named by the window text, with each drawn
// anchor as a link child whose default action clicks it.
//
// The toolkit-free part (layout, anchors, hover, clicks, keys, hints and
// the events) is TMarkupLabelBehaviour's; this window paints with GDI and
// forwards the window messages. Events are called on the window's thread
// from its window procedure with the label and the anchor's target; an
// empty function is not called. No exception leaves the window procedure: one
// raised while a message is handled (by a handler or the drawing) goes to
// OnFailure.
#pragma once

// First: it reads our colour headers around <windows.h>'s macros.
#include "UWinApi.h"

#include <exception>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "UGdiSurface.h"
#include "UHTMLText.h"
#include "UMarkupImages.h"
#include "UMarkupLabelBehaviour.h"
#include "UStringList.h"
#include "UWinAccessible.h"

namespace qm {

class TMarkupLabel : public TMarkupLabelBehaviour {
public:
    // The window class of every label.
    static constexpr const wchar_t* kWindowClass = L"QuillmarkMarkupLabel";

    // Creates the label's window at `bounds` (pixels in the parent's client
    // coordinates): a visible child of `parent`, or, with a null parent, a
    // hidden top-level window without a frame (for layout and tests).
    // Raises EQuillmarkError when the window cannot be created.
    TMarkupLabel(HWND parent, const TRect& bounds);
    virtual ~TMarkupLabel();
    TMarkupLabel(const TMarkupLabel&) = delete;
    TMarkupLabel& operator=(const TMarkupLabel&) = delete;

    // The window; null once it has been destroyed with its parent.
    HWND Handle() const noexcept { return FHandle; }
    int Width() const noexcept;
    int Height() const noexcept;
    // Moves and sizes the window (parent's client coordinates).
    void SetBounds(const TRect& bounds);

    // The base font: face, size in points (1..kMaxFontPoints) and styles;
    // its colour is FontColor. Default: the system's GUI font.
    const TFontSpec& Font() const noexcept { return FFont; }
    void SetFont(const TFontSpec& font);

    // The density the label's fonts are made for, in pixels per inch
    // (24..1200): the one its owner lays the window out at; 0 (default) the
    // density of the label's window (WindowDpi), 0 when that is not
    // known either (fonts then follow the DC). Repaints on a change.
    int PixelsPerInch() const noexcept;
    void SetPixelsPerInch(int pixelsPerInch);

    // Not owned; each must outlive the label or be reset to null first.
    // The label takes the image list's OnChanged to repaint.
    TImageList* Images() const noexcept { return FImages; }
    void SetImages(TImageList* images);
    TPictureStore* PictureStore() const noexcept { return FPictureStore; }
    void SetPictureStore(TPictureStore* store);
    const TPictureCache& PictureCache() const noexcept { return FCache; }

    void PaintNow() override;

    // The base font of the text as the engine sees it (Font with FontColor).
    TFontSpec BaseFont() const override;

    // Gives the label the keyboard focus on its first drawn anchor (`last`:
    // its last one); false, and the focus stays, when no anchor is drawn.
    // FocusNextAnchor then moves it on.
    bool FocusAnchor(bool last);
    // The default action screen readers announce for a link.
    static constexpr const wchar_t* kLinkAction = L"Klicken";

    // URL targets (IsUrlTarget) open by default with ShellExecuteW "open"
    // (SetLinkOpener).
    // Called with an exception raised while the window handled a message
    // (the message then counts as handled); empty: the failure is dropped.
    // The program shows it in its error box. Must not throw; if it does, the
    // exception is dropped.
    std::function<void(std::exception_ptr failure)> OnFailure;

protected:
    // The surface the label paints on; `dc` is null for layout only.
    virtual std::unique_ptr<TGdiSurface> CreateSurface(HDC dc);

private:
    TMarkupLabel& Self() noexcept override { return *this; }
    TSize ClientSize() const override { return {Width(), Height()}; }
    std::unique_ptr<THTMLSurface> LayoutSurface() override { return CreateSurface(nullptr); }
    bool HasKeyboardFocus() const override { return FHandle && GetFocus() == FHandle; }
    void ShowLinkCursor(bool overAnchor) override;
    void HideHint() override;
    void Repaint() override { Changed(); }
    void AnchorFocusMoved() override { FocusChanged(true); }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnPaint();
    void ReportFailure(std::exception_ptr failure) noexcept;
    void Paint(HDC dc);
    void MouseMove(int x, int y);
    void FocusChanged(bool gained);
    bool SetCursorShape();
    LRESULT Notify(const NMHDR& header);
    void EnsureTooltip();
    void UpdateTooltipRect();
    void DrawFrame(HDC dc) const;
    void LoadMissingPictures();
    void Changed() override;
    void HTMLTextReplaced() override;
    void HintsChanged() override;

    HWND FHandle = nullptr;
    HWND FTooltip = nullptr;
    std::wstring FTooltipText;
    bool FTrackingMouse = false;
    TFontSpec FFont;
    int FPixelsPerInch = 0;
    TImageList* FImages = nullptr;
    TPictureStore* FPictureStore = nullptr;
    TPictureCache FCache;
    std::set<std::string> FMissing;
    class TAccessibleLabel;
    std::shared_ptr<IAccessibleSource> FAccessible;
};

}  // namespace qm

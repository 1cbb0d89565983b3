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
// Events are std::function members, called on the window's thread from its
// window procedure with the label and the anchor's target; an empty
// function is not called. No exception leaves the window procedure: one
// raised while a message is handled (by a handler or the drawing) goes to
// OnFailure.
#pragma once

// First: it reads our colour headers around <windows.h>'s macros.
#include "UWinApi.h"

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "UGdiSurface.h"
#include "UHTMLText.h"
#include "UMarkupImages.h"
#include "UMarkupLabelProperties.h"
#include "UStringList.h"
#include "UWinAccessible.h"

namespace qm {

// A link of the label as drawn: its Index (TAnchorHit's), target, text (its
// runs joined, final spaces dropped) and the rectangle around all its runs
// and pictures in client coordinates, cut at the text area's right edge.
struct TLabelAnchor {
    int Index = 0;
    std::string Target;
    std::string Text;
    TRect Rect;
};

class TMarkupLabel : public TMarkupLabelProperties {
public:
    using TAnchorEvent = std::function<void(TMarkupLabel& label, const std::string& anchor)>;
    using THintEvent = std::function<void(TMarkupLabel& label, std::string& hint)>;
    using TNotifyEvent = std::function<void(TMarkupLabel& label)>;
    using TLinkOpener = std::function<void(const std::string& target)>;

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
    // density of the label's window (GetDpiForWindow), 0 when that is not
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

    // Paints at once (synchronously), also when the window is hidden: then
    // only the layout runs, so AutoSizing still takes effect.
    void PaintNow();
    // No painting while BeginUpdate calls outnumber EndUpdate calls;
    // the last EndUpdate repaints.
    void BeginUpdate() noexcept { ++FUpdateCount; }
    void EndUpdate();

    // The target of the anchor under (x, y) in client coordinates, or "".
    std::string GetAnchorAt(int x, int y);
    // The full hit-test result at (x, y).
    TAnchorHit AnchorAt(int x, int y);
    // The width the label's text engine gives `markup` on one unbounded line
    // in the label's font, >= 0.
    int OneLineWidth(std::string_view markup);
    // The rectangle the text is laid out in (client rectangle minus the
    // borders and bevels), before auto-size and vertical alignment.
    TRect TextRect() const;
    // The base font of the text as the engine sees it (Font with FontColor).
    TFontSpec BaseFont() const;
    // Whether the mouse is over an anchor (the hand cursor shows).
    bool OverAnchor() const noexcept { return FHoverAnchor != -1; }
    // The anchors as drawn now (client coordinates), in text order.
    std::vector<TLabelAnchor> Anchors();

    // Gives the label the keyboard focus on its first drawn anchor (`last`:
    // its last one); false, and the focus stays, when no anchor is drawn.
    bool FocusAnchor(bool last);
    // While the label has the focus: moves it to the next drawn anchor
    // (`backwards`: the previous one); false when there is none that way.
    bool FocusNextAnchor(bool backwards);
    // The Index (TLabelAnchor) of the anchor that has or last had the
    // focus; 0: none yet.
    int FocusedAnchor() const noexcept { return FFocusAnchor; }
    // The default action screen readers announce for a link.
    static constexpr const wchar_t* kLinkAction = L"Klicken";

    // The hint at (x, y): with AnchorHint over an anchor its target (after
    // OnAnchorHint), else with HintShowFull the whole text (as HTML with
    // HTMLHint, otherwise with "<BR>"/"<HR>" as line breaks and no tags);
    // nothing when no hint shows there.
    std::optional<std::string> HintAt(int x, int y);
    // Where a hint shows, relative to the mouse.
    static constexpr TPoint kHintOffset{10, -10};

    // Opens link targets holding "://" or "mailto:"; by default with
    // ShellExecuteW "open". The program may route it elsewhere.
    void SetLinkOpener(TLinkOpener opener) { FLinkOpener = std::move(opener); }

    TAnchorEvent OnAnchorClick;
    TAnchorEvent OnAnchorEnter;
    TAnchorEvent OnAnchorExit;
    THintEvent OnAnchorHint;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    // Called with an exception raised while the window handled a message
    // (the message then counts as handled); empty: the failure is dropped.
    // The program shows it in its error box. Must not throw; if it does, the
    // exception is dropped.
    std::function<void(std::exception_ptr failure)> OnFailure;

protected:
    // The surface the label paints on; `dc` is null for layout only.
    virtual std::unique_ptr<TGdiSurface> CreateSurface(HDC dc);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnPaint();
    void ReportFailure(std::exception_ptr failure) noexcept;
    void Paint(HDC dc);
    void MouseMove(int x, int y);
    void MouseLeave();
    void MousePress(int x, int y);
    // What a click on an anchor with `target` does.
    void ActivateAnchor(const std::string& target);
    void FocusChanged(bool gained);
    bool SetCursorShape();
    LRESULT Notify(const NMHDR& header);
    void EnsureTooltip();
    void UpdateTooltipRect();
    bool AutoSizesHeight() const noexcept;
    bool AutoSizesWidth() const noexcept;
    void DrawFrame(HDC dc) const;
    TRect LayoutRect(THTMLSurface& surface, const std::string& text, const TFontSpec& font) const;
    void LoadMissingPictures();
    void SetHovered(const TAnchorHit& hit);
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
    int FUpdateCount = 0;
    int FHoverAnchor = -1;
    TRect FHoverRect;
    std::string FHoverTarget;
    std::optional<TPoint> FMouse;
    TLinkOpener FLinkOpener;
    int FFocusAnchor = 0;
    class TAccessibleLabel;
    std::shared_ptr<IAccessibleSource> FAccessible;
};

}  // namespace qm

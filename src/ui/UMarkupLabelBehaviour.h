// What the caption label does, the same in every toolkit: where its text is
// laid out and how large AutoSizing makes it, which anchor is under a point,
// what the mouse over an anchor, a click, Enter and Space do, which anchor
// has the keyboard focus and how Tab moves it, and which hint shows.
//
// Each toolkit's TMarkupLabel derives from TMarkupLabelBehaviour, forwards
// its input events to it and gives it what only the toolkit has (the client
// size, a surface to measure on, the keyboard focus, the cursor, the
// tooltip, repainting) through the hooks below; it keeps the drawing.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "UGeometry.h"
#include "UHTMLText.h"
#include "UMarkupLabelProperties.h"

namespace qm {

// The label class of the toolkit this program is built with (one per
// build). The events name it, so that handlers take the label they know.
class TMarkupLabel;

// True for link targets the desktop opens itself (browser, mail program)
// rather than the program: texts holding "://" or starting with "mailto:"
// (ASCII case ignored). The shell requests use the same rule.
bool IsUrlTarget(std::string_view target);

// A link of the label as drawn: its Index (TAnchorHit's, >= 1), target, text
// (its runs joined, final spaces dropped) and the rectangle around all its
// runs and pictures in client coordinates, cut at the text area's right edge.
struct TLabelAnchor {
    int Index = 0;
    std::string Target;
    std::string Text;
    TRect Rect;
    friend bool operator==(const TLabelAnchor&, const TLabelAnchor&) = default;
};

// The pieces AnchorsOfHTMLText lists (one per run or picture, any order)
// joined per anchor, in Index order; each rectangle's right edge at most
// `right`.
std::vector<TLabelAnchor> JoinAnchorPieces(std::span<const TAnchorHit> pieces, int right);

// The mouse buttons as the label tells them apart: only the left one
// follows a link; the others keep their own meanings (context menu,
// auto-scroll).
enum class TMouseButton { mbLeft, mbRight, mbMiddle, mbOther };

// The keys the label acts on; each toolkit maps its own codes here, and a
// key it does not count as plain Enter or Space to lkOther.
enum class TLabelKey { lkEnter, lkSpace, lkOther };

class TMarkupLabelBehaviour : public TMarkupLabelProperties {
public:
    using TAnchorEvent = std::function<void(TMarkupLabel& label, const std::string& anchor)>;
    using THintEvent = std::function<void(TMarkupLabel& label, std::string& hint)>;
    using TNotifyEvent = std::function<void(TMarkupLabel& label)>;
    using TLinkOpener = std::function<void(const std::string& target)>;

    // Extra pixels around the text when AutoSizing resizes the label.
    static constexpr int kAutoSizeMargin = 6;
    // Where a hint shows, relative to the mouse.
    static constexpr TPoint kHintOffset{10, -10};

    // The rectangle the text is laid out in: the client rectangle minus the
    // borders and bevels, before auto-size and vertical alignment.
    TRect TextRect() const;
    // The base font of the text as the engine sees it.
    virtual TFontSpec BaseFont() const = 0;

    // The full hit-test result at (x, y) in client coordinates (any values).
    TAnchorHit AnchorAt(int x, int y);
    // The target of the anchor under (x, y), or "".
    std::string GetAnchorAt(int x, int y);
    // The width the label's text engine gives `markup` on one unbounded line
    // in the label's font, >= 0.
    int OneLineWidth(std::string_view markup);
    // Every anchor piece as laid out now (see AnchorsOfHTMLText).
    std::vector<TAnchorHit> AnchorPieces();
    // The anchors as laid out now (client coordinates), in text order.
    std::vector<TLabelAnchor> Anchors();

    // What a left click on `hit` does: nothing for no anchor (Index <= 0),
    // a URL target (IsUrlTarget) goes to the link opener, any other target
    // raises OnAnchorClick.
    void ActivateAnchor(const TAnchorHit& hit);

    // The hint at (x, y): with AnchorHint over an anchor its target (after
    // OnAnchorHint), else with HintShowFull the whole text (as HTML with
    // HTMLHint, otherwise with "<BR>"/"<HR>" as line breaks and no tags);
    // nothing when no hint shows there.
    std::optional<std::string> HintAt(int x, int y);

    // Paints at once (synchronously), also when the label is not shown:
    // then only the layout runs, so AutoSizing still takes effect.
    virtual void PaintNow() = 0;
    // No painting while BeginUpdate calls outnumber EndUpdate calls; the
    // last EndUpdate paints (PaintNow). An EndUpdate too many does nothing.
    void BeginUpdate() noexcept { ++FUpdateCount; }
    void EndUpdate();

    // Whether the mouse is over an anchor (the hand cursor shows).
    bool OverAnchor() const noexcept { return FHoverAnchor != -1; }

    // The Index of the anchor that has (or, with the focus gone, last had)
    // the keyboard focus; 0: none.
    int FocusedAnchor() const noexcept { return FFocusAnchor; }
    // While the label has the keyboard focus: moves it to the next anchor in
    // text order (`backwards`: the previous one); false, and nothing moves,
    // when there is none that way or the label lacks the focus.
    bool FocusNextAnchor(bool backwards);

    // Opens URL targets (IsUrlTarget); each toolkit sets the desktop's way
    // by default. The program may route it elsewhere; empty: nothing opens.
    void SetLinkOpener(TLinkOpener opener) { FLinkOpener = std::move(opener); }

    TAnchorEvent OnAnchorClick;
    TAnchorEvent OnAnchorEnter;
    TAnchorEvent OnAnchorExit;
    THintEvent OnAnchorHint;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

protected:
    TMarkupLabelBehaviour() = default;

    // --- What the toolkit gives ---
    // The label itself, for the events.
    virtual TMarkupLabel& Self() noexcept = 0;
    // The client area's size in pixels (>= 0 each).
    virtual TSize ClientSize() const = 0;
    // A surface that measures as painting does, drawing nothing.
    virtual std::unique_ptr<THTMLSurface> LayoutSurface() = 0;
    // Whether the label has the keyboard focus.
    virtual bool HasKeyboardFocus() const = 0;
    // Shows the hand cursor (true, the mouse is over an anchor) or the
    // label's own one again.
    virtual void ShowLinkCursor(bool overAnchor) = 0;
    // Hides a hint that shows now, if any.
    virtual void HideHint() = 0;
    // Repaints the whole label (later is fine).
    virtual void Repaint() = 0;
    // The focused anchor changed while the label has the focus.
    virtual void AnchorFocusMoved() = 0;

    // --- Layout, for painting ---
    // Between BeginUpdate and the last EndUpdate: paint nothing but the
    // background.
    bool Updating() const noexcept { return FUpdateCount > 0; }
    // What is laid out, and where: the joined text, the base font and the
    // text rectangle with auto-size extension and vertical alignment.
    struct TLayout {
        std::string Text;
        TFontSpec Font;
        TRect Rect;
    };
    TLayout Layout(THTMLSurface& surface) const;
    // Draws the text as laid out (with the hover point when Hover is on).
    TTextExtent DrawLayout(THTMLSurface& surface, const TLayout& layout) const;
    // The anchor pieces of `layout` on `surface`.
    std::vector<TAnchorHit> AnchorPiecesOf(THTMLSurface& surface, const TLayout& layout) const;
    // The client size AutoSizing gives for text of `extent`; the current
    // size where AutoSizing leaves a dimension alone.
    TSize AutoSized(const TTextExtent& extent) const;

    // --- Input from the toolkit ---
    void MouseEntered();
    // The mouse moved to `at` (client coordinates) inside the label.
    void MouseMoved(TPoint at);
    // The mouse left the label.
    void MouseLeft();
    // A mouse button went down at `at`: the left one activates the anchor
    // there.
    void MousePressed(TMouseButton button, TPoint at);
    // A key went down while the label may have the focus: Enter and Space
    // activate the focused anchor. True when an anchor was activated.
    bool KeyPressed(TLabelKey key);
    // Activates a target as a left click on its anchor does.
    void ActivateTarget(const std::string& target);

    // --- Keyboard focus ---
    // Puts the focus on the first anchor (`last`: the last one); false, and
    // the focused anchor stays, when there is no anchor.
    bool PlaceAnchorFocus(bool last);
    // Focus that came without PlaceAnchorFocus (a click, the system) lands
    // on the first anchor unless the focused one is laid out.
    void KeepAnchorFocusShown();
    // After a change: the focused anchor no further than the last one.
    // Returns the last anchor's Index, 0 when there is none.
    int ClampAnchorFocus();

    int FFocusAnchor = 0;
    TLinkOpener FLinkOpener;

private:
    bool AutoSizesHeight() const noexcept;
    bool AutoSizesWidth() const noexcept;
    void SetHovered(const TAnchorHit& hit);

    int FUpdateCount = 0;
    int FHoverAnchor = -1;
    std::string FHoverTarget;
    std::optional<TPoint> FMouse;
};

}  // namespace qm

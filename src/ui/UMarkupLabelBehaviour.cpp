#include "UMarkupLabelBehaviour.h"

#include <algorithm>

#include "UStringUtil.h"

namespace qm {

namespace {

// How far the layout rectangle grows in the dimension AutoSizing changes.
constexpr int kAutoSizeExtent = 65535;

}  // namespace

bool IsUrlTarget(std::string_view target) {
    constexpr std::string_view mailto = "mailto:";
    return target.find("://") != std::string_view::npos ||
           (target.size() >= mailto.size() && SameTextIgnoreCase(target.substr(0, mailto.size()), mailto));
}

std::vector<TLabelAnchor> JoinAnchorPieces(std::span<const TAnchorHit> pieces, int right) {
    std::vector<TLabelAnchor> anchors;
    for (const TAnchorHit& piece : pieces) {
        TRect r = piece.Rect;
        r.Right = std::min(r.Right, right);
        auto a = std::find_if(anchors.begin(), anchors.end(),
                              [&piece](const TLabelAnchor& x) { return x.Index == piece.Index; });
        if (a == anchors.end()) {
            anchors.push_back({piece.Index, piece.Target, piece.Text, r});
            continue;
        }
        a->Text += piece.Text;
        a->Rect = {std::min(a->Rect.Left, r.Left), std::min(a->Rect.Top, r.Top), std::max(a->Rect.Right, r.Right),
                   std::max(a->Rect.Bottom, r.Bottom)};
    }
    // Pictures are listed after the texts of their line.
    std::stable_sort(anchors.begin(), anchors.end(),
                     [](const TLabelAnchor& a, const TLabelAnchor& b) { return a.Index < b.Index; });
    for (TLabelAnchor& a : anchors)
        while (!a.Text.empty() && a.Text.back() == ' ') a.Text.pop_back();
    return anchors;
}

TRect TMarkupLabelBehaviour::TextRect() const {
    const bool bevel = FBevelInner != TBevelCut::bvNone || FBevelOuter != TBevelCut::bvNone;
    const bool single = FBorderStyle == TLabelBorderStyle::bsSingle;
    const int inset = FBorderWidth + (bevel ? FBevelWidth : 0) + (single ? FBorderWidth : 0);
    const TSize size = ClientSize();
    return {inset, inset, size.Width - inset, size.Height - inset};
}

bool TMarkupLabelBehaviour::AutoSizesHeight() const noexcept {
    return FAutoSizing && FAutoSizeType != TAutoSizeType::asHorizontal &&
           (FAlign == TControlAlign::alNone || FAlign == TControlAlign::alTop || FAlign == TControlAlign::alBottom);
}

bool TMarkupLabelBehaviour::AutoSizesWidth() const noexcept {
    return FAutoSizing && FAutoSizeType != TAutoSizeType::asVertical &&
           (FAlign == TControlAlign::alNone || FAlign == TControlAlign::alLeft || FAlign == TControlAlign::alRight);
}

TMarkupLabelBehaviour::TLayout TMarkupLabelBehaviour::Layout(THTMLSurface& surface) const {
    TLayout layout{JoinedText(), BaseFont(), TextRect()};
    const TRect area = layout.Rect;
    TRect& r = layout.Rect;
    if (AutoSizesHeight()) r.Bottom += kAutoSizeExtent;
    if (AutoSizesWidth()) r.Right += kAutoSizeExtent;
    if (FVAlignment != TVAlignment::tvaTop) {
        const int textHeight =
            DrawHTMLText(surface, layout.Font, r, layout.Text, true, !FEllipsis, std::nullopt, FStyle).Height;
        if (textHeight < ClientSize().Height) {
            // Centred in the text area, or ending at its bottom.
            if (FVAlignment == TVAlignment::tvaCenter) r.Top += std::max(0, (area.Height() - textHeight) / 2);
            else r.Top = std::max(area.Top, area.Bottom - textHeight);
        }
    }
    return layout;
}

TTextExtent TMarkupLabelBehaviour::DrawLayout(THTMLSurface& surface, const TLayout& layout) const {
    return DrawHTMLText(surface, layout.Font, layout.Rect, layout.Text, false, !FEllipsis,
                        FStyle.Hover ? FMouse : std::nullopt, FStyle);
}

std::vector<TAnchorHit> TMarkupLabelBehaviour::AnchorPiecesOf(THTMLSurface& surface, const TLayout& layout) const {
    return AnchorsOfHTMLText(surface, layout.Font, layout.Rect, layout.Text, !FEllipsis, FStyle);
}

TSize TMarkupLabelBehaviour::AutoSized(const TTextExtent& extent) const {
    TSize size = ClientSize();
    if (AutoSizesHeight()) size.Height = extent.Height + kAutoSizeMargin;
    if (AutoSizesWidth()) size.Width = extent.Width + kAutoSizeMargin;
    return size;
}

void TMarkupLabelBehaviour::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) PaintNow();
}

TAnchorHit TMarkupLabelBehaviour::AnchorAt(int x, int y) {
    const std::unique_ptr<THTMLSurface> surface = LayoutSurface();
    const TLayout layout = Layout(*surface);
    return HitTestHTMLText(*surface, layout.Font, layout.Rect, layout.Text, {x, y}, !FEllipsis, FStyle);
}

std::string TMarkupLabelBehaviour::GetAnchorAt(int x, int y) { return AnchorAt(x, y).Target; }

int TMarkupLabelBehaviour::OneLineWidth(std::string_view markup) {
    const std::unique_ptr<THTMLSurface> surface = LayoutSurface();
    constexpr int kUnbounded = 1 << 24;
    return DrawHTMLText(*surface, BaseFont(), TRect{0, 0, kUnbounded, kUnbounded}, markup, true, false, std::nullopt,
                        FStyle)
        .Width;
}

std::vector<TAnchorHit> TMarkupLabelBehaviour::AnchorPieces() {
    const std::unique_ptr<THTMLSurface> surface = LayoutSurface();
    return AnchorPiecesOf(*surface, Layout(*surface));
}

std::vector<TLabelAnchor> TMarkupLabelBehaviour::Anchors() {
    const std::unique_ptr<THTMLSurface> surface = LayoutSurface();
    const TLayout layout = Layout(*surface);
    return JoinAnchorPieces(AnchorPiecesOf(*surface, layout), layout.Rect.Right);
}

void TMarkupLabelBehaviour::ActivateAnchor(const TAnchorHit& hit) {
    if (hit.Index > 0) ActivateTarget(hit.Target);
}

void TMarkupLabelBehaviour::ActivateTarget(const std::string& target) {
    if (IsUrlTarget(target)) {
        if (FLinkOpener) FLinkOpener(target);
    } else if (OnAnchorClick) {
        OnAnchorClick(Self(), target);
    }
}

std::optional<std::string> TMarkupLabelBehaviour::HintAt(int x, int y) {
    const TAnchorHit hit = AnchorAt(x, y);
    if (FAnchorHint && hit.Index > 0) {
        std::string hint = hit.Target;
        if (OnAnchorHint) OnAnchorHint(Self(), hint);
        return hint;
    }
    if (FHintShowFull) return FHTMLHint ? JoinedText() : StripHTMLTags(JoinedText());
    return std::nullopt;
}

void TMarkupLabelBehaviour::MouseEntered() {
    if (OnMouseEnter) OnMouseEnter(Self());
}

void TMarkupLabelBehaviour::MouseMoved(TPoint at) {
    FMouse = at;
    SetHovered(AnchorAt(at.X, at.Y));
}

void TMarkupLabelBehaviour::SetHovered(const TAnchorHit& hit) {
    if (hit.Index > 0) {
        ShowLinkCursor(true);
        if (hit.Index == FHoverAnchor) return;
        // The hint of the anchor left behind no longer applies.
        if (FAnchorHint) HideHint();
        FHoverAnchor = hit.Index;
        FHoverTarget = hit.Target;
        if (OnAnchorEnter) OnAnchorEnter(Self(), FHoverTarget);
    } else {
        if (FHoverAnchor == -1) return;
        const std::string old = std::exchange(FHoverTarget, std::string());
        FHoverAnchor = -1;
        ShowLinkCursor(false);
        if (FAnchorHint) HideHint();
        if (OnAnchorExit) OnAnchorExit(Self(), old);
    }
    // An anchor may span several runs and lines: repaint the whole label.
    if (FStyle.Hover) Repaint();
}

void TMarkupLabelBehaviour::MouseLeft() {
    FMouse.reset();
    if (FHoverAnchor != -1) {
        FHoverAnchor = -1;
        FHoverTarget.clear();
        if (FStyle.Hover) Repaint();
    }
    if (OnMouseLeave) OnMouseLeave(Self());
}

void TMarkupLabelBehaviour::MousePressed(TMouseButton button, TPoint at) {
    if (button == TMouseButton::mbLeft) ActivateAnchor(AnchorAt(at.X, at.Y));
}

bool TMarkupLabelBehaviour::KeyPressed(TLabelKey key) {
    if (key == TLabelKey::lkOther || FFocusAnchor <= 0 || !HasKeyboardFocus()) return false;
    for (const TLabelAnchor& anchor : Anchors()) {
        if (anchor.Index == FFocusAnchor) {
            ActivateTarget(anchor.Target);
            return true;
        }
    }
    return false;
}

bool TMarkupLabelBehaviour::FocusNextAnchor(bool backwards) {
    if (!HasKeyboardFocus()) return false;
    const std::vector<TLabelAnchor> anchors = Anchors();
    const auto at = std::find_if(anchors.begin(), anchors.end(),
                                 [this](const TLabelAnchor& a) { return a.Index == FFocusAnchor; });
    if (at == anchors.end()) return false;
    if (backwards ? at == anchors.begin() : at + 1 == anchors.end()) return false;
    FFocusAnchor = (backwards ? at - 1 : at + 1)->Index;
    AnchorFocusMoved();
    return true;
}

bool TMarkupLabelBehaviour::PlaceAnchorFocus(bool last) {
    const std::vector<TLabelAnchor> anchors = Anchors();
    if (anchors.empty()) return false;
    FFocusAnchor = last ? anchors.back().Index : anchors.front().Index;
    return true;
}

void TMarkupLabelBehaviour::KeepAnchorFocusShown() {
    const std::vector<TLabelAnchor> anchors = Anchors();
    const bool shown = std::any_of(anchors.begin(), anchors.end(),
                                   [this](const TLabelAnchor& a) { return a.Index == FFocusAnchor; });
    if (!shown) FFocusAnchor = anchors.empty() ? 0 : anchors.front().Index;
}

int TMarkupLabelBehaviour::ClampAnchorFocus() {
    const std::vector<TLabelAnchor> anchors = Anchors();
    const int last = anchors.empty() ? 0 : anchors.back().Index;
    FFocusAnchor = std::min(FFocusAnchor, last);
    return last;
}

}  // namespace qm
